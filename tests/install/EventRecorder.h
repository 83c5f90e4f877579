#pragma once
// Collects the (code, value, text) events a stage raises on its worker threads, for tests.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "download/DownloadCallback.h"

namespace installtest {

struct Event {
    int code;
    double value;
    std::wstring text;
};

class EventRecorder {
public:
    DownloadCallback Callback() {
        return [this](int32_t code, double value, const wchar_t* text) {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back({code, value, text ? text : L""});
            changed_.notify_all();
        };
    }

    // Waits until an event with one of `codes` has arrived; false after `seconds`.
    bool WaitForAny(std::vector<int> codes, int seconds = 30) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(seconds), [&] {
            for (const auto& e : events_)
                for (int c : codes)
                    if (e.code == c) return true;
            return false;
        });
    }

    // Waits until `count` events of `code` have arrived; false after `seconds`.
    bool WaitForCount(int code, int count, int seconds = 30) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(seconds), [&] {
            int n = 0;
            for (const auto& e : events_) n += e.code == code;
            return n >= count;
        });
    }

    std::vector<Event> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& e : Events()) codes.push_back(e.code);
        return codes;
    }
    std::vector<Event> Only(int code) const {
        std::vector<Event> out;
        for (const auto& e : Events())
            if (e.code == code) out.push_back(e);
        return out;
    }
    int Count(int code) const { return static_cast<int>(Only(code).size()); }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

}  // namespace installtest
