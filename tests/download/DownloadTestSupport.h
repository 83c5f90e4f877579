#pragma once
// Shared helpers of the download tests: temporary folders, generated files, an in-process
// package server, a thread-safe event recorder and a capture of the diagnostic trace. Paths are
// narrow text as the download engine takes them (Download::NarrowPath): UTF-8 on Windows.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "download/DownloadCallback.h"
#include "tools/package-server/PackageServer.h"

namespace DownloadTest {

// A fresh folder under $QV_TEST_ROOT (else the system temp folder), removed on destruction.
// Its names use "/" on every system (Windows takes it as a separator).
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::wstring WFile(const std::string& name) const;

private:
    std::string path_;
};

// Writes `size` pseudo-random bytes (deterministic for a seed).
void WriteRandomFile(const std::string& path, int64_t size, uint32_t seed);
std::string ReadFile(const std::string& path);
bool SameContent(const std::string& a, const std::string& b);
bool Exists(const std::string& path);
int64_t SizeOf(const std::string& path);
std::string Md5Of(const std::string& path);
std::wstring Wide(const std::string& text);
// A narrow (UTF-8) path as the standard library's path type, without the Windows ANSI code page.
std::filesystem::path NativePath(const std::string& path);
// The "file:" address of an absolute path: "file:///tmp/a" or "file:///C:/Temp/a".
std::string FileUrl(const std::string& path);

// A package server on 127.0.0.1 serving `root`, started at construction.
class TestServer {
public:
    explicit TestServer(const std::string& root, const std::string& certFile = "", const std::string& keyFile = "");
    PackageServer::Server& operator*() { return *server_; }
    PackageServer::Server* operator->() { return server_.get(); }
    // Requests seen so far, in order, of one method.
    std::vector<PackageServer::RequestRecord> Gets() const;
    std::vector<PackageServer::RequestRecord> Heads() const;

private:
    std::unique_ptr<PackageServer::Server> server_;
};

struct Event {
    int code;
    double value;
    std::wstring text;
    std::chrono::steady_clock::time_point at;
};

// Records the events of one downloader; thread-safe.
class EventLog {
public:
    // Called on the downloader's thread after the event is recorded (e.g. to restart on 1005).
    std::function<void(const Event&)> onEvent;

    DownloadCallback Callback();
    // Waits until `count` events with one of `codes` have arrived; false on time-out.
    bool WaitFor(std::vector<int> codes, int count = 1, std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Waits for the final event of a run (1003 or 1004).
    bool WaitFinal(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        return WaitFor({DL_CODE_SUCCESS, DL_CODE_FAIL}, 1, timeout);
    }
    std::vector<Event> Events() const;
    // Codes in order, progress events (1002) left out.
    std::vector<int> Codes() const;
    std::vector<double> ProgressValues() const;
    Event Last() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

// Captures the diagnostic trace (Utils::SetLogSink) while alive; one capture at a time. Create it
// before the code under test starts its threads.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    // Stops capturing and returns the lines, each ended by "\n" (also echoed to stderr).
    std::string Finish();

private:
    bool finished_ = false;
    std::string text_;
};

// Makes the test CA and a server certificate in `dir` (tools/package-server/make-test-ca.sh).
// Linux only: the Windows build of the package server has no TLS.
bool MakeTestCa(const std::string& dir);

// Counts occurrences of `needle` in `text`.
int CountOf(const std::string& text, const std::string& needle);
// Counts the trace lines logged from `function` (as the trace names it) whose message is exactly
// `message`.
int CountTraceLines(const std::string& trace, const std::string& function, const std::string& message);

}  // namespace DownloadTest
