#include "tests/download/DownloadTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "utils/Log.h"
#include "utils/PathText.h"
#include "utils/StringUtils.h"

namespace DownloadTest {
namespace {

// libcurl's global state is set up once, before any test starts a thread.
const bool g_curlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;

namespace fs = std::filesystem;

fs::path TestRoot() {
    const char* root = std::getenv("QV_TEST_ROOT");
    if (root && *root) return NativePath(root);
    return fs::temp_directory_path();
}

// The trace lines of the running capture.
std::mutex g_traceMutex;
std::string g_trace;

void KeepTraceLine(std::wstring_view line) {
    const std::string text = Utils::ToUtf8(std::wstring(line)) + "\n";
    std::lock_guard lock(g_traceMutex);
    g_trace += text;
}

}  // namespace

TempDir::TempDir() {
    (void)g_curlReady;
    const fs::path root = TestRoot();
    fs::create_directories(root);
    // create_directory tells whether it made the folder, so a name taken by another test
    // program running at the same time is never shared.
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = root / ("qv-download-" + std::to_string(random() % 1000000000u));
        if (fs::create_directory(candidate)) path_ = Utils::ToUtf8(candidate.generic_wstring());
    }
    if (path_.empty()) throw std::runtime_error("no free folder name in the test root");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(NativePath(path_), ec);
}

std::wstring TempDir::WFile(const std::string& name) const { return Wide(File(name)); }

std::wstring Wide(const std::string& text) { return Utils::FromUtf8(text); }

fs::path NativePath(const std::string& path) { return Utils::PathFromWide(Utils::FromUtf8(path)); }

std::string FileUrl(const std::string& path) {
    std::string url = path;
    for (char& c : url)
        if (c == '\\') c = '/';
    return url.front() == '/' ? "file://" + url : "file:///" + url;
}

void WriteRandomFile(const std::string& path, int64_t size, uint32_t seed) {
    std::mt19937_64 random(seed);
    std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
    std::vector<uint64_t> block(1 << 14);
    while (size > 0) {
        for (auto& word : block) word = random();
        const int64_t n = std::min<int64_t>(size, static_cast<int64_t>(block.size() * 8));
        out.write(reinterpret_cast<const char*>(block.data()), n);
        size -= n;
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(NativePath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool SameContent(const std::string& a, const std::string& b) {
    if (!Exists(a) || !Exists(b) || SizeOf(a) != SizeOf(b)) return false;
    std::ifstream x(NativePath(a), std::ios::binary), y(NativePath(b), std::ios::binary);
    std::vector<char> bx(1 << 20), by(1 << 20);
    while (x && y) {
        x.read(bx.data(), bx.size());
        y.read(by.data(), by.size());
        if (x.gcount() != y.gcount() || !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin())) return false;
    }
    return true;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(NativePath(path), ec);
}

int64_t SizeOf(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(NativePath(path), ec);
    return ec ? -1 : static_cast<int64_t>(size);
}

std::string Md5Of(const std::string& path) { return PackageServer::Server::FileMd5(path); }

TestServer::TestServer(const std::string& root, const std::string& certFile, const std::string& keyFile) {
    PackageServer::Options options;
    options.root = root;
    options.certFile = certFile;
    options.keyFile = keyFile;
    server_ = std::make_unique<PackageServer::Server>(options);
    if (!server_->Start()) std::abort();
}

std::vector<PackageServer::RequestRecord> TestServer::Gets() const {
    std::vector<PackageServer::RequestRecord> out;
    for (auto& r : server_->Requests())
        if (r.method == "GET") out.push_back(r);
    return out;
}

std::vector<PackageServer::RequestRecord> TestServer::Heads() const {
    std::vector<PackageServer::RequestRecord> out;
    for (auto& r : server_->Requests())
        if (r.method == "HEAD") out.push_back(r);
    return out;
}

DownloadCallback EventLog::Callback() {
    return [this](int32_t code, double value, const wchar_t* text) {
        Event event{code, value, text ? text : L"", std::chrono::steady_clock::now()};
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        }
        changed_.notify_all();
        if (onEvent) onEvent(event);
    };
}

bool EventLog::WaitFor(std::vector<int> codes, int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        int seen = 0;
        for (const Event& e : events_)
            for (int c : codes)
                if (e.code == c) ++seen;
        return seen >= count;
    });
}

std::vector<Event> EventLog::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<int> EventLog::Codes() const {
    std::vector<int> codes;
    for (const Event& e : Events())
        if (e.code != DL_CODE_PROGRESS) codes.push_back(e.code);
    return codes;
}

std::vector<double> EventLog::ProgressValues() const {
    std::vector<double> values;
    for (const Event& e : Events())
        if (e.code == DL_CODE_PROGRESS) values.push_back(e.value);
    return values;
}

Event EventLog::Last() const {
    std::lock_guard lock(mutex_);
    return events_.empty() ? Event{0, 0, L"", {}} : events_.back();
}

TraceCapture::TraceCapture() {
    {
        std::lock_guard lock(g_traceMutex);
        g_trace.clear();
    }
    Utils::SetLogSink(&KeepTraceLine);
}

TraceCapture::~TraceCapture() { Finish(); }

std::string TraceCapture::Finish() {
    if (finished_) return text_;
    finished_ = true;
    Utils::SetLogSink(nullptr);
    {
        std::lock_guard lock(g_traceMutex);
        text_.swap(g_trace);
    }
    std::fwrite(text_.data(), 1, text_.size(), stderr);
    return text_;
}

int CountOf(const std::string& text, const std::string& needle) {
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
    return count;
}

int CountTraceLines(const std::string& trace, const std::string& function, const std::string& message) {
    int count = 0;
    size_t begin = 0;
    while (begin < trace.size()) {
        size_t end = trace.find('\n', begin);
        if (end == std::string::npos) end = trace.size();
        const std::string line = trace.substr(begin, end - begin);
        begin = end + 1;
        // "...(<function>)<NNNN>: <message>"
        const size_t at = line.find("(" + function + ")<");
        if (at == std::string::npos) continue;
        const size_t colon = line.find(">: ", at);
        if (colon != std::string::npos && line.substr(colon + 3) == message) ++count;
    }
    return count;
}

}  // namespace DownloadTest
