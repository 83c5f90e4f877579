#pragma once
// A loopback stand-in for the analytics collection service, for tests and for trying the upload
// from a shell. It listens on 127.0.0.1 (HTTP, or HTTPS with a given certificate), accepts a POST
// to any path, decodes the body (percent, base64, gunzip), checks that the batch is a JSON array
// of objects, and keeps every record of each batch it answers with 200.
//
// It can be told to answer other statuses, to hold the answer back (past a client's time-out), or
// to drop the connection without answering, for all following uploads or for the next few.
// Records of an upload that was not answered 200 are not kept. A held-back upload is abandoned
// without an answer when the mode changes or the collector stops.
//
// Control over HTTP (for shells), GET or POST:
//   /_collector/status?code=N[&times=K]   /_collector/delay?ms=N[&times=K]
//   /_collector/drop[?times=K]            /_collector/normal      /_collector/clear
//   /_collector/records  -> the kept records as one JSON array, byte for byte as sent
//   /_collector/requests -> one JSON object per upload: target, user agent, content type,
//                           status answered (-1: none), record count, error
//
// Threads: one accept thread and one thread per connection. Every public method is safe from
// any thread. Starting it ignores SIGPIPE in the process where the system has one, as every
// server must. Windows builds serve plain HTTP only: starting with TLS files fails there.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/collector/CollectorConnection.h"
#include "tools/collector/CollectorListener.h"

namespace collector {

// What the collector saw of one upload and how it answered.
struct UploadRequest {
    std::string method;
    std::string target;       // path and query as requested
    std::string userAgent;
    std::string contentType;
    std::string body;         // as received
    bool decoded = false;     // the body decoded to a JSON array of objects
    std::string error;        // why not
    std::string batchText;    // the decompressed batch
    std::vector<std::string> recordTexts;
    int status = 0;           // the status answered; -1 when none was (dropped or abandoned)
};

struct TlsFiles {
    std::string certificateChainFile;  // PEM
    std::string privateKeyFile;        // PEM
};

class TestCollector {
public:
    TestCollector();
    ~TestCollector();  // stops
    TestCollector(const TestCollector&) = delete;
    TestCollector& operator=(const TestCollector&) = delete;

    // Listens on 127.0.0.1:`port` (0 picks a free port). False with `error` set on failure.
    bool Start(std::uint16_t port = 0, const std::optional<TlsFiles>& tls = std::nullopt, std::string* error = nullptr);
    // Closes the listener and every connection and joins all threads. Kept data stays readable.
    void Stop();

    std::uint16_t Port() const { return port_; }
    std::string BaseUrl() const;  // "http://127.0.0.1:PORT" (https with TLS)
    std::string Url(const std::string& pathAndQuery = "/collect?project=pc") const { return BaseUrl() + pathAndQuery; }

    // Fault modes; `times` < 0 means until the mode is changed again.
    void AnswerStatus(int status, int times = -1);
    void DelayAnswers(std::chrono::milliseconds delay, int times = -1);
    void DropConnections(int times = -1);
    void AnswerNormally();
    // Forgets the kept records and the log of uploads.
    void ClearRecords();

    // Called on the connection's thread for every decoded upload, before the collector answers.
    void SetRequestHook(std::function<void(const UploadRequest&)> hook);
    // Called (under the collector's lock, in arrival order) for every record that is kept.
    void SetRecordSink(std::function<void(const std::string&)> sink);
    // Called with one line per upload, for a shell's view of the traffic.
    void SetLog(std::function<void(const std::string&)> log);

    std::vector<std::string> RecordTexts() const;
    std::vector<nlohmann::json> Records() const;
    std::vector<UploadRequest> Requests() const;
    std::size_t RecordCount() const;
    // Waits until at least `count` uploads were handled (answered, dropped or abandoned).
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    enum class FaultKind { None, Status, Delay, Drop };
    struct Fault {
        FaultKind kind = FaultKind::None;
        int status = 200;
        std::chrono::milliseconds delay{0};
        int times = -1;
    };
    struct Worker;

    void SetFault(Fault fault);
    Fault TakeFault();
    void AcceptLoop();
    void Serve(CollectorConnection& connection);
    std::string HandleControl(const std::string& target, int& status);
    void HandleUpload(CollectorConnection& connection, UploadRequest request);
    void Finish(UploadRequest request, const std::string& logLine);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Fault fault_;                       // guarded by mutex_
    std::uint64_t generation_ = 0;      // guarded by mutex_; bumped by mode changes and Stop
    bool stopping_ = false;             // guarded by mutex_
    std::vector<std::string> records_;  // guarded by mutex_
    std::vector<UploadRequest> requests_;  // guarded by mutex_
    std::function<void(const UploadRequest&)> hook_;   // guarded by mutex_ (copied out)
    std::function<void(const std::string&)> sink_;     // guarded by mutex_
    std::function<void(const std::string&)> log_;      // guarded by mutex_ (copied out)

    TlsServerContextPtr tls_;     // set before the accept thread starts, kept after Stop
    CollectorListener listener_;
    std::list<std::unique_ptr<Worker>> workers_;  // guarded by mutex_
    std::uint16_t port_ = 0;      // the last port listened on
    std::thread acceptThread_;
};

}  // namespace collector
