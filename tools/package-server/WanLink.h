#pragma once
// A stand-in for the wide-area link between the package server and all of its clients: one
// transfer rate shared by every connection and one round-trip latency.
//
// What it models: a real WAN adds its round-trip time to every exchange (the TCP handshake, each
// request and its answer) and carries the bytes of all connections of one client over one link
// of fixed capacity. The server applies the latency once when a connection is set up and once
// before the first byte of every response, which is a fair stand-in for "one round trip each";
// it does not model TCP slow start, loss or reordering. The rate is per link, not per
// connection: a download split over several connections shares it, as on a real WAN, so
// splitting gains nothing (a per-connection rate would let a multi-part download cheat).
//
// Thread-safe: every member function may be called from any thread.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace PackageServer {

class WanLink {
public:
    using Clock = std::chrono::steady_clock;

    // 0 switches the rate limit off (the default).
    void SetRate(int64_t bytesPerSecond);
    // 0 switches the latency off (the default).
    void SetLatencyMs(int milliseconds);
    int64_t Rate() const;
    int LatencyMs() const;

    // Books the link for `bytes` after the bytes booked before (by any connection) and returns
    // the time at which they have crossed it; the caller waits until then and sends them.
    // `continuing`: these bytes follow the same body's earlier booking. Such a stream that comes
    // back up to kSlack late (a busy machine's scheduling delay) is not charged for it, so its
    // average rate holds; the first bytes of a body never start before now, so idle time is not
    // saved up into a burst above the rate. Without a rate: now.
    Clock::time_point Book(int64_t bytes, bool continuing);

    // "8M", "512K", "1G" or a plain count of bytes per second (binary multiples: K = 1024);
    // false for anything else, including a count that is not positive or does not fit.
    static bool ParseRate(const std::string& text, int64_t& bytesPerSecond);

    static constexpr std::chrono::milliseconds kSlack{250};

private:
    mutable std::mutex mutex_;  // guards everything below
    int64_t rate_ = 0;
    int latencyMs_ = 0;
    Clock::time_point busyUntil_{};
};

}  // namespace PackageServer
