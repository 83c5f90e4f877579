#include "tools/package-server/PackageServer.h"

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tools/package-server/Md5.h"

namespace PackageServer {
namespace {

constexpr size_t kChunk = 64 * 1024;
// Under a rate limit bodies go out in slices this small, so that the bytes of concurrent
// connections interleave on the link instead of taking turns in long bursts.
constexpr size_t kPacedChunk = 16 * 1024;

// "bytes=a-b" or "bytes=a-" against a file of `size` bytes: [first, last], or false when the
// header is absent or not of that form (served whole).
bool ParseRange(const std::string& header, int64_t size, int64_t& first, int64_t& last) {
    long long a = -1, b = -1;
    char dash = 0;
    if (header.rfind("bytes=", 0) != 0) return false;
    const std::string ranges = header.substr(6);
    if (ranges.find(',') != std::string::npos) return false;
    if (std::sscanf(ranges.c_str(), "%lld%c%lld", &a, &dash, &b) < 2 || dash != '-' || a < 0) return false;
    first = a;
    last = (b < 0 || b >= size) ? size - 1 : b;
    return true;
}

// Names arrive as UTF-8 (URLs, options); the path type takes them as such on every system.
std::filesystem::path PathOf(const std::string& utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); }

std::string LastSegment(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Gzip(const std::string& input, std::string& output) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    output.resize(deflateBound(&z, input.size()) + 64);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = reinterpret_cast<Bytef*>(output.data());
    z.avail_out = static_cast<uInt>(output.size());
    const int rc = deflate(&z, Z_FINISH);
    output.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END;
}

// Reads `size` bytes at `offset`; false on any shortfall.
bool ReadAt(std::ifstream& file, int64_t offset, char* buffer, int64_t size) {
    file.clear();
    file.seekg(offset);
    file.read(buffer, static_cast<std::streamsize>(size));
    return file.gcount() == static_cast<std::streamsize>(size);
}

// What one response body does: where it starts in the file and which fault it carries. Its
// file is read by one thread at a time (httplib calls a response's provider in turn).
struct Body {
    std::ifstream file;
    int64_t start = 0;
    int64_t length = 0;
    int64_t dropAfter = -1;
    int64_t stallAfter = -1;
    int stallMs = 0;
    bool stalled = false;
};

// The connection pool, with a hook run on the worker thread before each connection is served:
// the place where a connection's set-up delay goes (the client has connected and sent its
// request; the server answers nothing until the hook returns).
class HookedPool final : public httplib::ThreadPool {
public:
    HookedPool(size_t threads, std::function<void()> beforeConnection)
        : httplib::ThreadPool(threads), beforeConnection_(std::move(beforeConnection)) {}
    void enqueue(std::function<void()> serve) override {
        httplib::ThreadPool::enqueue([hook = beforeConnection_, serve = std::move(serve)] {
            hook();
            serve();
        });
    }

private:
    std::function<void()> beforeConnection_;
};

}  // namespace

struct Server::Plan {
    int status = 0;  // non-zero: answer this status instead of the file
    bool ignoreRange = false;
    int64_t dropAfter = -1;
    int64_t stallAfter = -1;
    int stallMs = 0;
};

Server::Server(Options options) : options_(std::move(options)) {}

Server::~Server() { Stop(); }

bool Server::SupportsTls() {
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
    return true;
#else
    return false;
#endif
}

bool Server::Start() {
    if (!options_.certFile.empty() && !options_.keyFile.empty()) {
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
        auto tls = std::make_unique<httplib::SSLServer>(options_.certFile.c_str(), options_.keyFile.c_str());
        if (!tls->is_valid()) return false;
        http_ = std::move(tls);
#else
        return false;  // never plain HTTP where HTTPS was asked for
#endif
    } else {
        http_ = std::make_unique<httplib::Server>();
    }
    http_->new_task_queue = [this] {
        return new HookedPool(32, [this] {
            const int latency = link_.LatencyMs();
            if (latency > 0) SleepUnlessStopping(latency);
        });
    };
    http_->set_keep_alive_timeout(1);
    // A response on a kept-alive connection must not wait for the client's delayed
    // acknowledgement (Nagle's algorithm, about 40 ms): real servers send without delay, and a
    // client that reuses its connection would otherwise look slower than one that does not.
    http_->set_tcp_nodelay(true);
    // The Range header is ours to answer (or to ignore, as a fault); httplib must not apply it.
    http_->set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        const_cast<httplib::Request&>(req).ranges.clear();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    auto handler = [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); };
    http_->Get(".*", handler);
    port_ = options_.port > 0 ? (http_->bind_to_port(options_.host, options_.port) ? options_.port : -1)
                              : http_->bind_to_any_port(options_.host);
    if (port_ <= 0) {
        http_.reset();
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    listener_ = std::thread([this] { http_->listen_after_bind(); });
    while (!http_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void Server::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    if (http_) http_->stop();
    if (listener_.joinable()) listener_.join();
    http_.reset();
}

std::string Server::BaseUrl() const {
    const bool tls = !options_.certFile.empty() && !options_.keyFile.empty();
    return std::string(tls ? "https://" : "http://") + options_.host + ":" + std::to_string(port_);
}

std::string Server::DigestUrl(const std::string& name) const {
    return BaseUrl() + "/" + FileMd5(options_.root + "/" + name) + "/" + name;
}

std::string Server::RedirectUrl(const std::string& name, int hops) const {
    return BaseUrl() + "/redirect/" + std::to_string(hops) + "/" + name;
}

void Server::AddRule(const FaultRule& rule) {
    std::lock_guard lock(mutex_);
    rules_.push_back(rule);
}

void Server::ClearFaults() {
    std::lock_guard lock(mutex_);
    rules_.clear();
    omitHeadLength_ = false;
    gzipWhenAsked_ = false;
    redirectDigest_.clear();
    dropProbability_ = 0.0;
}

void Server::SetOmitHeadLength(bool on) {
    std::lock_guard lock(mutex_);
    omitHeadLength_ = on;
}

void Server::SetGzipWhenAsked(bool on) {
    std::lock_guard lock(mutex_);
    gzipWhenAsked_ = on;
}

void Server::SetRedirectDigest(const std::string& digest) {
    std::lock_guard lock(mutex_);
    redirectDigest_ = digest;
}

void Server::SetRandomDrops(double probability, uint32_t seed) {
    std::lock_guard lock(mutex_);
    dropProbability_ = probability;
    random_.seed(seed);
}

std::vector<RequestRecord> Server::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void Server::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

void Server::Record(RequestRecord record) {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(record));
}

bool Server::SleepUnlessStopping(int milliseconds) {
    std::unique_lock lock(mutex_);
    return !stopped_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping_; });
}

bool Server::SleepUntilUnlessStopping(WanLink::Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return !stopped_.wait_until(lock, deadline, [this] { return stopping_; });
}

bool Server::Pace(int64_t bytes, bool continuing) {
    if (link_.Rate() <= 0) return true;
    return SleepUntilUnlessStopping(link_.Book(bytes, continuing));
}

std::string Server::FileMd5(const std::string& path) {
    std::ifstream file(PathOf(path), std::ios::binary);
    if (!file) return {};
    Md5 md5;
    std::vector<char> buffer(1 << 20);
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (file.gcount() > 0 && !md5.Update(buffer.data(), static_cast<size_t>(file.gcount()))) return {};
    }
    if (file.bad()) return {};  // a read error, not the end of the file
    return md5.FinishHex();
}

std::string Server::CachedMd5(const std::string& path) {
    // Keyed by size and modification time too, so a file a test rewrites is hashed again.
    std::error_code error;
    const auto size = std::filesystem::file_size(PathOf(path), error);
    if (error) return {};
    const auto modified = std::filesystem::last_write_time(PathOf(path), error);
    if (error) return {};
    const std::string key = path + "|" + std::to_string(size) + "|" +
                            std::to_string(modified.time_since_epoch().count());
    {
        std::lock_guard lock(mutex_);
        for (const auto& [k, v] : md5Cache_)
            if (k == key) return v;
    }
    std::string md5 = FileMd5(path);
    std::lock_guard lock(mutex_);
    md5Cache_.emplace_back(key, md5);
    return md5;
}

Server::Plan Server::TakePlan(const std::string& method, int64_t rangeStart, int64_t bodyLength) {
    std::lock_guard lock(mutex_);
    Plan plan;
    for (FaultRule& rule : rules_) {
        if (rule.times == 0) continue;
        if (!rule.method.empty() && rule.method != method) continue;
        if (rule.rangeStart >= 0 && rule.rangeStart != rangeStart) continue;
        if (rule.times > 0) --rule.times;
        switch (rule.action) {
            case FaultRule::Action::Drop: plan.dropAfter = rule.afterBytes; break;
            case FaultRule::Action::Status: plan.status = rule.status; break;
            case FaultRule::Action::Stall:
                plan.stallAfter = rule.afterBytes;
                plan.stallMs = rule.stallMs;
                break;
            case FaultRule::Action::IgnoreRange: plan.ignoreRange = true; break;
        }
        return plan;
    }
    if (method == "GET" && dropProbability_ > 0 && bodyLength > 0 &&
        std::uniform_real_distribution<double>(0, 1)(random_) < dropProbability_)
        plan.dropAfter = std::uniform_int_distribution<int64_t>(0, bodyLength - 1)(random_);
    return plan;
}

void Server::Handle(const httplib::Request& req, httplib::Response& res) {
    RequestRecord record{req.method, req.target, req.get_header_value("Range"),
                         req.get_header_value("Accept-Encoding")};
    record.clientPort = req.remote_port;
    const std::string path = req.path;

    // One round trip before the answer's first byte, whatever the answer is.
    const int latency = link_.LatencyMs();
    if (latency > 0 && !SleepUnlessStopping(latency)) {
        res.status = 503;
        return;
    }

    // Redirect chain: /redirect/<n>/<name> -> ... -> /<md5>/<name>
    if (path.rfind("/redirect/", 0) == 0) {
        const std::string rest = path.substr(10);
        const size_t slash = rest.find('/');
        const int hops = slash == std::string::npos ? 0 : std::atoi(rest.substr(0, slash).c_str());
        const std::string name = LastSegment(path);
        std::string digest;
        {
            std::lock_guard lock(mutex_);
            digest = redirectDigest_;
        }
        if (digest.empty()) digest = CachedMd5(options_.root + "/" + name);
        const std::string next = hops > 1 ? "/redirect/" + std::to_string(hops - 1) + "/" + name
                                          : "/" + digest + "/" + name;
        res.set_redirect(next, 302);
        record.status = 302;
        Record(record);
        return;
    }

    auto body = std::make_shared<Body>();
    int64_t size = -1;
    const std::string name = LastSegment(path);
    const std::filesystem::path file = PathOf(options_.root + "/" + name);
    std::error_code error;
    if (!name.empty() && name != ".." && std::filesystem::is_regular_file(file, error)) {
        body->file.open(file, std::ios::binary);
        // The size of the file opened, whatever happens to the name meanwhile.
        if (body->file && body->file.seekg(0, std::ios::end)) size = static_cast<int64_t>(body->file.tellg());
    }
    if (size < 0) {
        res.status = 404;
        res.set_content("not found\n", "text/plain");
        record.status = 404;
        Record(record);
        return;
    }

    int64_t first = 0, last = size - 1;
    const bool ranged = ParseRange(record.range, size, first, last);
    Plan plan = TakePlan(req.method, ranged ? first : -1, ranged ? last - first + 1 : size);
    if (plan.status != 0) {
        res.status = plan.status;
        res.set_content("fault\n", "text/plain");
        record.status = plan.status;
        Record(record);
        return;
    }
    bool omitLength, gzip;
    {
        std::lock_guard lock(mutex_);
        omitLength = omitHeadLength_;
        gzip = gzipWhenAsked_ && record.acceptEncoding.find("gzip") != std::string::npos;
    }
    res.set_header("Accept-Ranges", "bytes");

    if (req.method == "HEAD") {
        res.status = 200;
        record.status = 200;
        record.bodyBytes = size;
        if (omitLength) {
            res.set_chunked_content_provider("application/octet-stream",
                                             [](size_t, httplib::DataSink& sink) { sink.done(); return true; });
        } else {
            res.set_content_provider(static_cast<size_t>(size), "application/octet-stream",
                                     [](size_t, size_t, httplib::DataSink&) { return true; });
        }
        Record(record);
        return;
    }

    if (ranged && !plan.ignoreRange) {
        if (first >= size) {
            res.status = 416;
            res.set_header("Content-Range", "bytes */" + std::to_string(size));
            record.status = 416;
            Record(record);
            return;
        }
        res.status = 206;
        res.set_header("Content-Range",
                       "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" + std::to_string(size));
    } else {
        res.status = 200;
        first = 0;
        last = size - 1;
    }
    body->start = first;
    body->length = last - first + 1;
    body->dropAfter = plan.dropAfter;
    body->stallAfter = plan.stallAfter;
    body->stallMs = plan.stallMs;
    record.status = res.status;
    record.bodyBytes = body->length;
    record.cut = plan.dropAfter >= 0;

    if (gzip && body->length <= (int64_t{64} << 20)) {
        std::string raw(static_cast<size_t>(body->length), '\0');
        if (ReadAt(body->file, first, raw.data(), body->length)) {
            std::string packed;
            if (Gzip(raw, packed)) {
                res.set_header("Content-Encoding", "gzip");
                record.bodyBytes = static_cast<int64_t>(packed.size());
                Record(record);
                auto shared = std::make_shared<const std::string>(std::move(packed));
                res.set_content_provider(
                    shared->size(), "application/octet-stream",
                    [this, shared](size_t offset, size_t length, httplib::DataSink& sink) {
                        const size_t slice = std::min(length, link_.Rate() > 0 ? kPacedChunk : kChunk);
                        return Pace(static_cast<int64_t>(slice), offset > 0) &&
                               sink.write(shared->data() + offset, slice);
                    });
                return;
            }
        }
    }

    Record(record);
    res.set_content_provider(
        static_cast<size_t>(body->length), "application/octet-stream",
        [this, body](size_t offset, size_t length, httplib::DataSink& sink) {
            const auto at = static_cast<int64_t>(offset);
            int64_t chunk = std::min<int64_t>(static_cast<int64_t>(length), link_.Rate() > 0 ? kPacedChunk : kChunk);
            if (body->dropAfter >= 0) {
                if (at >= body->dropAfter) return false;  // closes the connection mid-body
                chunk = std::min(chunk, body->dropAfter - at);
            }
            if (body->stallAfter >= 0 && !body->stalled) {
                if (at >= body->stallAfter) {
                    body->stalled = true;
                    if (!SleepUnlessStopping(body->stallMs)) return false;
                } else {
                    chunk = std::min(chunk, body->stallAfter - at);
                }
            }
            char buffer[kChunk];
            if (!ReadAt(body->file, body->start + at, buffer, chunk)) return false;  // the file shrank
            if (!Pace(chunk, at > 0)) return false;
            return sink.write(buffer, static_cast<size_t>(chunk));
        });
}

}  // namespace PackageServer
