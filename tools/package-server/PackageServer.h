#pragma once
// A small HTTP(S) package server for tests and demos. It serves the files of one folder:
//   HEAD /<...>/<name>            Content-Length of the file (unless switched off)
//   GET  /<...>/<name>            200 with the file, or 206 for "Range: bytes=a-b" / "bytes=a-"
//   GET  /redirect/<n>/<name>     302 chain of n more hops ending at "/<md5 of the file>/<name>"
// Only the last path segment names the file; the segments before it are free (the downloaders
// read a digest from them). Faults are switched on and off while it runs (see FaultRule and the
// setters); every request is recorded. HTTPS needs a TLS library, which only the Linux build
// links (see SupportsTls). A WAN can be imitated: a rate shared by all connections and a latency
// per connection and per response (see WanLink); fault switches leave both alone.
//
// Threads: Start/Stop on the owner's thread; requests are served on a pool of worker threads;
// every other member function may be called from any thread.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tools/package-server/WanLink.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}

namespace PackageServer {

// One switchable fault. A rule applies to requests of its method (empty: any) whose range starts
// at rangeStart (-1: any request), `times` times (-1: always); the first rule that matches wins.
struct FaultRule {
    enum class Action {
        Drop,         // close the connection after afterBytes body bytes
        Status,       // answer `status` with a short body
        Stall,        // stop sending for stallMs after afterBytes body bytes, then go on
        IgnoreRange,  // answer 200 with the whole file despite a Range header
    };
    Action action = Action::Drop;
    int64_t afterBytes = 0;
    int status = 500;
    int stallMs = 0;
    int64_t rangeStart = -1;
    int times = -1;
    std::string method = "GET";
};

struct RequestRecord {
    std::string method;
    std::string target;          // as sent, not decoded
    std::string range;           // the Range header, "" when absent
    std::string acceptEncoding;  // the Accept-Encoding header, "" when absent
    int status = 0;
    int64_t bodyBytes = 0;  // body bytes the response announced
    bool cut = false;       // a drop fault closed the connection early
    int clientPort = 0;     // the client's port: requests on one connection share it
};

struct Options {
    std::string root;                // the folder served
    std::string host = "127.0.0.1";  // loopback only by default
    int port = 0;                    // 0: any free port
    std::string certFile, keyFile;   // both set: HTTPS (Start fails where it is unsupported)
};

class Server {
public:
    explicit Server(Options options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds and starts serving; false when the port cannot be bound, the TLS files not loaded,
    // or HTTPS was asked for in a build without TLS.
    bool Start();
    void Stop();
    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" (https with TLS).
    std::string BaseUrl() const;
    std::string FileUrl(const std::string& name) const { return BaseUrl() + "/" + name; }
    std::string DigestUrl(const std::string& name) const;
    std::string RedirectUrl(const std::string& name, int hops) const;

    void AddRule(const FaultRule& rule);
    void ClearFaults();
    void SetOmitHeadLength(bool on);
    void SetGzipWhenAsked(bool on);
    // The digest segment the last redirect hop names instead of the file's own MD5 ("": the real
    // one), so that a redirect can lead to an address whose digest the file does not match.
    void SetRedirectDigest(const std::string& digest);
    // Each GET body is cut at a uniformly random offset with this probability.
    void SetRandomDrops(double probability, uint32_t seed);
    // Bytes per second over all connections together (0: unlimited). Paces response bodies.
    void SetRate(int64_t bytesPerSecond) { link_.SetRate(bytesPerSecond); }
    // Delay added when a connection is set up and again before the first byte of every response
    // (0: none); the round-trip time of the imitated WAN.
    void SetLatencyMs(int milliseconds) { link_.SetLatencyMs(milliseconds); }

    std::vector<RequestRecord> Requests() const;
    void ClearRequests();

    // Lower-case hexadecimal MD5 of a file; "" when it cannot be read.
    static std::string FileMd5(const std::string& path);
    // Whether this build can serve HTTPS (the Windows build has no TLS library).
    static bool SupportsTls();

private:
    struct Plan;
    void Handle(const httplib::Request& request, httplib::Response& response);
    Plan TakePlan(const std::string& method, int64_t rangeStart, int64_t bodyLength);
    void Record(RequestRecord record);
    std::string CachedMd5(const std::string& path);
    bool SleepUnlessStopping(int milliseconds);
    bool SleepUntilUnlessStopping(WanLink::Clock::time_point deadline);
    // Waits for the link to carry `bytes` (`continuing`: not a body's first); false when the
    // server is stopping meanwhile.
    bool Pace(int64_t bytes, bool continuing);

    Options options_;
    std::unique_ptr<httplib::Server> http_;
    std::thread listener_;
    int port_ = 0;
    WanLink link_;

    mutable std::mutex mutex_;  // guards everything below
    std::vector<FaultRule> rules_;
    bool omitHeadLength_ = false;
    bool gzipWhenAsked_ = false;
    std::string redirectDigest_;
    double dropProbability_ = 0.0;
    std::mt19937 random_;
    std::vector<RequestRecord> requests_;
    std::vector<std::pair<std::string, std::string>> md5Cache_;
    bool stopping_ = false;
    std::condition_variable stopped_;
};

}  // namespace PackageServer
