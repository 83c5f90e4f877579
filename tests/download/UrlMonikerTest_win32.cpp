// urlmon's URL download service behind UrlMoniker::URLDownloadToFile, against a loopback server
// of the test's own: progress, abort, an HTTP error status, a server that is not there and
// redirects.
#include <gtest/gtest.h>

#include <httplib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "download/UrlMoniker.h"
#include "tests/support/TempDir.h"
#include "utils/StringUtils.h"

namespace {

using UrlMoniker::BindInfo;
using UrlMoniker::BINDSTATUS_BEGINDOWNLOADDATA;
using UrlMoniker::BINDSTATUS_DOWNLOADINGDATA;
using UrlMoniker::BINDSTATUS_ENDDOWNLOADDATA;
using UrlMoniker::BINDSTATUS_REDIRECTING;
using UrlMoniker::IBinding;
using UrlMoniker::IBindStatusCallback;
using UrlMoniker::kE_ABORT;
using UrlMoniker::kE_INVALIDARG;
using UrlMoniker::kE_NOTIMPL;
using UrlMoniker::kHTTP_E_STATUS_BASE;
using UrlMoniker::kINET_E_DOWNLOAD_FAILURE;
using UrlMoniker::kINET_E_RESOURCE_NOT_FOUND;
using UrlMoniker::kS_OK;
using UrlMoniker::URLDownloadToFile;
// httplib.h brings in <windows.h>, whose HRESULT is another type of the same width.
using HRESULT = UrlMoniker::HRESULT;
namespace fs = std::filesystem;

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The loopback server: "/pkg.bin" (a known body with its length), "/missing" (404), "/stall"
// (64 KiB of an announced MiB, then the connection closes after a pause), "/hop/N" (a redirect
// to "/hop/N-1", relative as servers often send it; "/hop/0" is the body).
class LoopbackServer {
public:
    explicit LoopbackServer(std::string body) : body_(std::move(body)) {
        server_.Get("/pkg.bin", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(body_, "application/octet-stream");
        });
        server_.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("no such package", "text/plain");
        });
        server_.Get("/stall", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(
                1 << 20, "application/octet-stream",
                [this](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset == 0) return sink.write(body_.data(), 64 * 1024);
                    // Holds the transfer open for a while, then cuts it short.
                    for (int i = 0; i < 40 && !released_.load(); ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    return false;
                });
        });
        server_.Get(R"(/hop/(\d+))", [this](const httplib::Request& request, httplib::Response& response) {
            const int left = std::stoi(request.matches[1]);
            if (left == 0) return response.set_content(body_, "application/octet-stream");
            response.set_redirect("/hop/" + std::to_string(left - 1), 302);
        });
        // One request per connection: a connection the client keeps open must not hold the
        // server's shutdown (wininet keeps idle connections for reuse).
        server_.set_keep_alive_max_count(1);
        server_.set_read_timeout(2, 0);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() only reaches a server that already runs its accept loop: one stopped before
        // that would listen on forever and the join below would never return.
        for (int i = 0; i < 1000 && !server_.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~LoopbackServer() {
        released_.store(true);
        server_.stop();
        thread_.join();
    }
    // Windows' TLS and proxy logic treat "localhost" as the loopback host it is.
    std::wstring Url(const std::string& path) const {
        return Utils::FromUtf8("http://localhost:" + std::to_string(port_) + path);
    }
    int Port() const { return port_; }

private:
    std::string body_;
    httplib::Server server_;
    std::atomic<bool> released_{false};
    int port_ = 0;
    std::thread thread_;
};

// A bind status callback that records what the service reports and can answer E_ABORT.
class RecordingCallback final : public IBindStatusCallback {
public:
    std::atomic<bool> abortOnData{false};
    std::mutex lock;
    std::vector<std::pair<uint64_t, uint64_t>> progress;  // (progress, maximum) of data notices
    std::vector<std::wstring> redirects;                  // the addresses redirect notices named
    size_t progressBeforeFirstRedirect = 0;               // data notices that came before one
    int dataNotices = 0;                                  // every notice of body data
    int starts = 0, stops = 0;
    HRESULT stopResult = kS_OK;
    IBinding* binding = nullptr;

    HRESULT QueryInterface(const void*, void**) override { return kE_NOTIMPL; }
    uint32_t AddRef() override { return 0; }
    uint32_t Release() override { return 0; }
    HRESULT OnStartBinding(uint32_t, IBinding* b) override {
        std::lock_guard guard(lock);
        ++starts;
        binding = b;
        return kS_OK;
    }
    HRESULT GetPriority(int32_t*) override { return kE_NOTIMPL; }
    HRESULT OnLowResource(uint32_t) override { return kE_NOTIMPL; }
    HRESULT OnProgress(uint64_t done, uint64_t max, uint32_t status, const wchar_t* text) override {
        if (status == BINDSTATUS_REDIRECTING) {
            std::lock_guard guard(lock);
            if (redirects.empty()) progressBeforeFirstRedirect = progress.size();
            redirects.emplace_back(text ? text : L"(null)");
        }
        if (status == BINDSTATUS_BEGINDOWNLOADDATA || status == BINDSTATUS_DOWNLOADINGDATA ||
            status == BINDSTATUS_ENDDOWNLOADDATA) {
            std::lock_guard guard(lock);
            ++dataNotices;
        }
        if (status == BINDSTATUS_DOWNLOADINGDATA || status == BINDSTATUS_ENDDOWNLOADDATA) {
            std::lock_guard guard(lock);
            progress.emplace_back(done, max);
            if (abortOnData.load()) return kE_ABORT;
        }
        return kS_OK;
    }
    HRESULT OnStopBinding(HRESULT result, const wchar_t*) override {
        std::lock_guard guard(lock);
        ++stops;
        stopResult = result;
        binding = nullptr;
        return kS_OK;
    }
    HRESULT GetBindInfo(uint32_t*, BindInfo* info) override {
        if (info) info->codePage = 65001;
        return kS_OK;
    }
    HRESULT OnDataAvailable(uint32_t, uint64_t, void*, void*) override { return kE_NOTIMPL; }
    HRESULT OnObjectAvailable(const void*, void*) override { return kE_NOTIMPL; }
    HRESULT GetBindInfoEx(uint32_t*, BindInfo*, uint32_t*, uint32_t*) override { return kE_NOTIMPL; }
};

class UrlMonikerTest : public ::testing::Test {
protected:
    std::wstring Target(const char* name) const { return (dir.path() / name).wstring(); }
    bool NothingLeft(const char* name) const {
        return !fs::exists(dir.path() / name) && !fs::exists(dir.path() / (std::string(name) + ".part"));
    }

    const std::string body = RandomBytes(3 << 20, 7);
    testsupport::TempDir dir;
    LoopbackServer server{body};
    RecordingCallback callback;
};

TEST_F(UrlMonikerTest, DownloadsTheWholeBodyWithRisingProgressAndNoPartFileLeft) {
    ASSERT_EQ(URLDownloadToFile(nullptr, server.Url("/pkg.bin"), Target("pkg.bin"), 0, &callback), kS_OK);
    EXPECT_EQ(ReadAll(dir.path() / "pkg.bin"), body);
    EXPECT_FALSE(fs::exists(dir.path() / "pkg.bin.part"));
    EXPECT_EQ(callback.starts, 1);
    EXPECT_EQ(callback.stops, 1);
    EXPECT_EQ(callback.stopResult, kS_OK);
    EXPECT_EQ(callback.binding, nullptr);
    ASSERT_FALSE(callback.progress.empty());
    uint64_t last = 0;
    for (const auto& [done, max] : callback.progress) {
        EXPECT_GE(done, last);
        if (max != 0) {
            EXPECT_EQ(max, body.size());
        }
        last = done;
    }
    EXPECT_EQ(last, body.size());
}

TEST_F(UrlMonikerTest, ReplacesAnOlderTarget) {
    std::ofstream(dir.path() / "pkg.bin", std::ios::binary) << "old content";
    ASSERT_EQ(URLDownloadToFile(nullptr, server.Url("/pkg.bin"), Target("pkg.bin"), 0, &callback), kS_OK);
    EXPECT_EQ(ReadAll(dir.path() / "pkg.bin"), body);
}

TEST_F(UrlMonikerTest, AnHttpErrorFailsWithItsStatusAndLeavesNoFile) {
    const HRESULT result = URLDownloadToFile(nullptr, server.Url("/missing"), Target("pkg.bin"), 0, &callback);
    EXPECT_NE(result, kS_OK);
    // The status itself where the service reports it; a not-found code where it maps it.
    EXPECT_TRUE(result == static_cast<HRESULT>(kHTTP_E_STATUS_BASE + 404) || result == kINET_E_RESOURCE_NOT_FOUND ||
                result == kINET_E_DOWNLOAD_FAILURE)
        << std::hex << result;
    EXPECT_TRUE(NothingLeft("pkg.bin"));
    EXPECT_EQ(callback.stops, 1);
    EXPECT_EQ(callback.stopResult, result);
}

TEST_F(UrlMonikerTest, AServerThatIsNotThereFailsAndLeavesNoFile) {
    // Port 1 (tcpmux) has no listener on a test machine: the connection is refused at once.
    const int port = 1;
    const std::wstring url = Utils::FromUtf8("http://localhost:" + std::to_string(port) + "/pkg.bin");
    const HRESULT result = URLDownloadToFile(nullptr, url, Target("pkg.bin"), 0, &callback);
    EXPECT_LT(result, 0);
    EXPECT_TRUE(NothingLeft("pkg.bin"));
}

TEST_F(UrlMonikerTest, AbortFromTheCallbackStopsTheTransfer) {
    callback.abortOnData.store(true);
    const HRESULT result = URLDownloadToFile(nullptr, server.Url("/pkg.bin"), Target("pkg.bin"), 0, &callback);
    EXPECT_EQ(result, kE_ABORT);
    EXPECT_TRUE(NothingLeft("pkg.bin"));
    EXPECT_EQ(callback.stopResult, kE_ABORT);
}

TEST_F(UrlMonikerTest, ABodyCutShortIsAFailureNotAFile) {
    const HRESULT result = URLDownloadToFile(nullptr, server.Url("/stall"), Target("pkg.bin"), 0, &callback);
    EXPECT_LT(result, 0) << std::hex << result;
    EXPECT_TRUE(NothingLeft("pkg.bin"));
}

TEST_F(UrlMonikerTest, AbortOfTheBindingFromAnotherThreadEndsTheTransfer) {
    // The binding is aborted once the first bytes are in, while the server holds the rest back:
    // the stop must not wait for a notice that is not coming. (With a body that arrives at once,
    // the abort could come after the transfer and before the call reports its end.)
    std::atomic<bool> aborted{false};
    std::thread aborter([&] {
        for (int i = 0; i < 400 && !aborted.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::lock_guard guard(callback.lock);
            if (callback.dataNotices > 0 && callback.binding) {
                callback.binding->Abort();
                aborted.store(true);
            }
        }
    });
    const HRESULT result = URLDownloadToFile(nullptr, server.Url("/stall"), Target("pkg.bin"), 0, &callback);
    aborter.join();
    ASSERT_TRUE(aborted.load());
    EXPECT_EQ(result, kE_ABORT);
    EXPECT_TRUE(NothingLeft("pkg.bin"));
}

TEST_F(UrlMonikerTest, RefusesEmptyArguments) {
    EXPECT_EQ(URLDownloadToFile(nullptr, L"", Target("pkg.bin"), 0, &callback), kE_INVALIDARG);
    EXPECT_EQ(URLDownloadToFile(nullptr, server.Url("/pkg.bin"), L"", 0, &callback), kE_INVALIDARG);
    EXPECT_EQ(URLDownloadToFile(nullptr, server.Url("/pkg.bin"), Target("pkg.bin"), 0, nullptr), kE_INVALIDARG);
    EXPECT_EQ(callback.starts, 0);
}

TEST_F(UrlMonikerTest, ARedirectedRequestNamesItsFinalAddressBeforeTheBody) {
    // The caller checks the file against the digest the final address names: that address must
    // be known before the body, and a request that was not moved must not seem moved.
    ASSERT_EQ(URLDownloadToFile(nullptr, server.Url("/pkg.bin"), Target("direct.bin"), 0, &callback), kS_OK);
    EXPECT_EQ(callback.redirects, std::vector<std::wstring>{});

    callback.progress.clear();
    ASSERT_EQ(URLDownloadToFile(nullptr, server.Url("/hop/3"), Target("pkg.bin"), 0, &callback), kS_OK);
    EXPECT_EQ(ReadAll(dir.path() / "pkg.bin"), body);
    ASSERT_FALSE(callback.redirects.empty());
    EXPECT_EQ(callback.redirects.back(), server.Url("/hop/0"));
    EXPECT_EQ(callback.progressBeforeFirstRedirect, 0u) << "data notices came before the address";
}

TEST_F(UrlMonikerTest, RedirectsAreFollowedForTwentyHopsAndNoMore) {
    // A server redirecting in a circle must not hold the download: past the bound Linux's service
    // has (20 hops) the call fails as it does there, and keeps no file.
    const HRESULT result = URLDownloadToFile(nullptr, server.Url("/hop/21"), Target("pkg.bin"), 0, &callback);
    EXPECT_EQ(result, kINET_E_DOWNLOAD_FAILURE) << std::hex << result;
    EXPECT_EQ(callback.stopResult, result);
    EXPECT_TRUE(NothingLeft("pkg.bin"));

    ASSERT_EQ(URLDownloadToFile(nullptr, server.Url("/hop/20"), Target("pkg.bin"), 0, &callback), kS_OK);
    EXPECT_EQ(ReadAll(dir.path() / "pkg.bin"), body);
    ASSERT_FALSE(callback.redirects.empty());
    EXPECT_EQ(callback.redirects.back(), server.Url("/hop/0"));
}

}  // namespace
