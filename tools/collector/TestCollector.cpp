#include "tools/collector/TestCollector.h"

#include <atomic>
#include <map>

#include "tools/collector/UploadDecoder.h"

namespace collector {
namespace {

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 64u << 20;

struct ParsedRequest {
    std::string method, target;
    std::map<std::string, std::string> headers;  // lower-case names
    std::string body;
};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

const char* Reason(int status) {
    switch (status) {
        case 100: return "Continue";
        case 200: return "OK";
        case 201: return "Created";
        case 204: return "No Content";
        case 400: return "Bad Request";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 411: return "Length Required";
        case 413: return "Payload Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

std::string Response(int status, const std::string& body, const char* contentType = "text/plain") {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    const bool noBody = status == 204 || status == 304 || (status >= 100 && status < 200);
    if (!noBody) {
        out += std::string("Content-Type: ") + contentType + "\r\n";
        out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    out += "Connection: close\r\n\r\n";
    if (!noBody) out += body;
    return out;
}

// Reads one request; on failure returns the status to answer (0: just close).
int ReadRequest(CollectorConnection& connection, ParsedRequest& request) {
    std::string data;
    char buffer[16384];
    std::size_t headerEnd;
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (data.size() > kMaxHeaderBytes) return 400;
        const std::ptrdiff_t n = connection.Read(buffer, sizeof buffer);
        if (n <= 0) return 0;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string head = data.substr(0, headerEnd);
    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const std::size_t sp1 = requestLine.find(' '), sp2 = requestLine.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1) return 400;
    request.method = requestLine.substr(0, sp1);
    request.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request.headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
    }
    if (request.headers.count("transfer-encoding")) return 411;
    std::size_t length = 0;
    if (const auto it = request.headers.find("content-length"); it != request.headers.end()) {
        try {
            length = std::stoul(it->second);
        } catch (...) {
            return 400;
        }
    } else if (request.method == "POST") {
        return 411;
    }
    if (length > kMaxBodyBytes) return 413;
    if (length > 0 && Lower(request.headers["expect"]) == "100-continue" &&
        !connection.WriteAll("HTTP/1.1 100 Continue\r\n\r\n"))
        return 0;
    request.body = data.substr(headerEnd + 4);
    while (request.body.size() < length) {
        const std::ptrdiff_t n = connection.Read(buffer, sizeof buffer);
        if (n <= 0) return 0;
        request.body.append(buffer, static_cast<std::size_t>(n));
    }
    request.body.resize(length);
    return -1;
}

std::map<std::string, std::string> QueryOf(const std::string& target) {
    std::map<std::string, std::string> query;
    const std::size_t q = target.find('?');
    if (q == std::string::npos) return query;
    std::size_t pos = q + 1;
    while (pos <= target.size()) {
        std::size_t amp = target.find('&', pos);
        if (amp == std::string::npos) amp = target.size();
        const std::string field = target.substr(pos, amp - pos);
        const std::size_t eq = field.find('=');
        query[field.substr(0, eq)] = eq == std::string::npos ? std::string() : field.substr(eq + 1);
        pos = amp + 1;
    }
    return query;
}

int IntOr(const std::map<std::string, std::string>& query, const std::string& key, int fallback) {
    const auto it = query.find(key);
    if (it == query.end() || it->second.empty()) return fallback;
    try {
        return std::stoi(it->second);
    } catch (...) {
        return fallback;
    }
}

}  // namespace

struct TestCollector::Worker {
    std::thread thread;
    std::shared_ptr<CollectorConnection> connection;
    std::atomic<bool> done{false};
};

TestCollector::TestCollector() = default;

TestCollector::~TestCollector() { Stop(); }

std::string TestCollector::BaseUrl() const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

bool TestCollector::Start(std::uint16_t port, const std::optional<TlsFiles>& tls, std::string* error) {
    if (acceptThread_.joinable()) {
        if (error) *error = "already started";
        return false;
    }
    // A restart without TLS files serves plain HTTP again.
    tls_.reset();
    if (tls) {
        tls_ = LoadTlsServerContext(tls->certificateChainFile, tls->privateKeyFile, error);
        if (!tls_) return false;
    }
    if (!listener_.Listen(port, error)) return false;
    port_ = listener_.Port();
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void TestCollector::Stop() {
    if (!acceptThread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        ++generation_;
    }
    changed_.notify_all();
    listener_.Wake();
    acceptThread_.join();

    std::list<std::unique_ptr<Worker>> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& worker : workers) worker->connection->Abort();
    for (auto& worker : workers) worker->thread.join();
    workers.clear();  // the connections go while the listener still holds the socket library
    listener_.Close();
}

void TestCollector::AcceptLoop() {
    for (;;) {
        const SocketHandle socket = listener_.Accept();
        if (socket == kNoSocket) return;
        auto worker = std::make_unique<Worker>();
        worker->connection = std::make_shared<CollectorConnection>(socket, tls_.get());
        Worker* raw = worker.get();
        std::lock_guard lock(mutex_);
        // Join the workers that have finished, so a long run does not pile up threads.
        for (auto it = workers_.begin(); it != workers_.end();) {
            if ((*it)->done) {
                (*it)->thread.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
        raw->thread = std::thread([this, raw] {
            Serve(*raw->connection);
            raw->done = true;
        });
        workers_.push_back(std::move(worker));
    }
}

void TestCollector::Serve(CollectorConnection& connection) {
    if (!connection.Handshake()) return;
    ParsedRequest parsed;
    const int failure = ReadRequest(connection, parsed);
    if (failure == 0) return;
    if (failure > 0) {
        connection.WriteAll(Response(failure, std::string(Reason(failure)) + "\n"));
        return;
    }
    if (parsed.target.rfind("/_collector/", 0) == 0) {
        int status = 200;
        const std::string body = HandleControl(parsed.target, status);
        connection.WriteAll(Response(status, body, status == 200 ? "application/json" : "text/plain"));
        return;
    }
    if (parsed.method != "POST") {
        connection.WriteAll(Response(405, "uploads are POST requests\n"));
        return;
    }
    UploadRequest request;
    request.method = parsed.method;
    request.target = parsed.target;
    request.userAgent = parsed.headers["user-agent"];
    request.contentType = parsed.headers["content-type"];
    request.body = std::move(parsed.body);
    HandleUpload(connection, std::move(request));
}

void TestCollector::HandleUpload(CollectorConnection& connection, UploadRequest request) {
    DecodedUpload decoded = DecodeUploadBody(request.body);
    request.decoded = decoded.ok;
    request.error = decoded.error;
    request.batchText = std::move(decoded.batchText);
    request.recordTexts = std::move(decoded.recordTexts);

    const Fault fault = TakeFault();
    std::function<void(const UploadRequest&)> hook;
    std::uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        hook = hook_;
        generation = generation_;
    }
    if (hook) hook(request);

    const std::string summary = request.method + " " + request.target + " (" +
                                std::to_string(request.recordTexts.size()) + " records)";
    // Each outcome is logged before the client can see it, so a client that got its answer
    // always finds its upload in Requests() and RecordTexts().
    if (fault.kind == FaultKind::Delay) {
        std::unique_lock lock(mutex_);
        const bool interrupted = changed_.wait_for(lock, fault.delay, [&] { return generation_ != generation; });
        lock.unlock();
        if (interrupted) {
            request.status = -1;
            Finish(std::move(request), summary + " -> abandoned while held back");
            connection.Abort();
            return;
        }
    }
    if (fault.kind == FaultKind::Drop) {
        request.status = -1;
        Finish(std::move(request), summary + " -> dropped");
        connection.Abort();
        return;
    }
    std::string response;
    std::string outcome;
    if (fault.kind == FaultKind::Status) {
        request.status = fault.status;
        response = Response(fault.status, fault.status == 204 ? "" : "forced status\n");
        outcome = std::to_string(fault.status) + " (forced)";
    } else if (!request.decoded) {
        request.status = 400;
        response = Response(400, request.error + "\n");
        outcome = "400 " + request.error;
    } else {
        request.status = 200;
        response = Response(200, "{\"code\":0}", "application/json");
        outcome = "200";
        std::lock_guard lock(mutex_);
        for (const std::string& record : request.recordTexts) {
            records_.push_back(record);
            if (sink_) sink_(record);
        }
    }
    Finish(std::move(request), summary + " -> " + outcome);
    connection.WriteAll(response);
}

void TestCollector::Finish(UploadRequest request, const std::string& logLine) {
    std::function<void(const std::string&)> log;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
        log = log_;
    }
    changed_.notify_all();
    if (log) log(logLine);
}

std::string TestCollector::HandleControl(const std::string& target, int& status) {
    const std::string path = target.substr(0, target.find('?'));
    const auto query = QueryOf(target);
    const int times = IntOr(query, "times", -1);
    if (path == "/_collector/status") {
        AnswerStatus(IntOr(query, "code", 200), times);
    } else if (path == "/_collector/delay") {
        DelayAnswers(std::chrono::milliseconds(IntOr(query, "ms", 5000)), times);
    } else if (path == "/_collector/drop") {
        DropConnections(times);
    } else if (path == "/_collector/normal") {
        AnswerNormally();
    } else if (path == "/_collector/clear") {
        ClearRecords();
    } else if (path == "/_collector/records") {
        std::string out = "[";
        for (const std::string& record : RecordTexts()) out.append(out.size() > 1 ? "," : "").append(record);
        return out + "]";
    } else if (path == "/_collector/requests") {
        nlohmann::json list = nlohmann::json::array();
        for (const UploadRequest& r : Requests())
            list.push_back({{"target", r.target},
                            {"user_agent", r.userAgent},
                            {"content_type", r.contentType},
                            {"status", r.status},
                            {"records", r.recordTexts.size()},
                            {"error", r.error}});
        return list.dump();
    } else {
        status = 404;
        return "unknown control " + path + "\n";
    }
    return "{\"ok\":true}";
}

void TestCollector::SetFault(Fault fault) {
    {
        std::lock_guard lock(mutex_);
        fault_ = fault;
        ++generation_;
    }
    changed_.notify_all();
}

TestCollector::Fault TestCollector::TakeFault() {
    std::lock_guard lock(mutex_);
    const Fault current = fault_;
    if (fault_.times > 0 && --fault_.times == 0) fault_ = Fault{};
    return current;
}

void TestCollector::AnswerStatus(int status, int times) { SetFault({FaultKind::Status, status, {}, times}); }
void TestCollector::DelayAnswers(std::chrono::milliseconds delay, int times) {
    SetFault({FaultKind::Delay, 200, delay, times});
}
void TestCollector::DropConnections(int times) { SetFault({FaultKind::Drop, 200, {}, times}); }
void TestCollector::AnswerNormally() { SetFault(Fault{}); }

void TestCollector::ClearRecords() {
    std::lock_guard lock(mutex_);
    records_.clear();
    requests_.clear();
}

void TestCollector::SetRequestHook(std::function<void(const UploadRequest&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

void TestCollector::SetRecordSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void TestCollector::SetLog(std::function<void(const std::string&)> log) {
    std::lock_guard lock(mutex_);
    log_ = std::move(log);
}

std::vector<std::string> TestCollector::RecordTexts() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::vector<nlohmann::json> TestCollector::Records() const {
    std::vector<nlohmann::json> out;
    for (const std::string& text : RecordTexts()) out.push_back(nlohmann::json::parse(text));
    return out;
}

std::vector<UploadRequest> TestCollector::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t TestCollector::RecordCount() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

bool TestCollector::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

}  // namespace collector
