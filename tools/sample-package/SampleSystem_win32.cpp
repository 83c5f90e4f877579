#include "tools/sample-package/SampleSystem.h"

#include <cstdlib>
#include <fstream>

#include "utils/WindowsApi_win32.h"
#include <shellapi.h>

namespace sample {

namespace {

// One closed-on-scope-exit HANDLE.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~OwnedHandle() {
        if (Valid()) ::CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

std::wstring Wide(const std::string& utf8, UINT codePage = CP_UTF8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(codePage, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    if (::MultiByteToWideChar(codePage, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n) != n) return {};
    return out;
}

// Empty when a character has no form in `codePage` (and the text was not empty).
std::string Narrow(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) return {};
    BOOL lossy = FALSE;
    const bool strict = codePage != CP_UTF8 && codePage != CP_UTF7;
    const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                        strict ? &lossy : nullptr);
    if (n <= 0 || lossy) return {};
    std::string out(static_cast<size_t>(n), '\0');
    if (::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                              nullptr) != n)
        return {};
    return out;
}

bool WriteHandle(DWORD which, const std::string& bytes) {
    const HANDLE out = ::GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

std::wstring OwnPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);
    }
}

// This program again in its hidden "--sleep=S" form; with `inheritStreams` it holds the
// standard streams this process has. Returns the child's process id, 0 on failure.
DWORD StartSleeper(const std::string& seconds, bool inheritStreams) {
    const std::wstring self = OwnPath();
    if (self.empty()) return 0;
    std::wstring commandLine = L"\"" + self + L"\" --sleep=" + Wide(seconds);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (inheritStreams) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, inheritStreams ? TRUE : FALSE,
                          CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return 0;
    OwnedHandle process(pi.hProcess);
    OwnedHandle thread(pi.hThread);
    return pi.dwProcessId;
}

}  // namespace

std::vector<std::string> Arguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i], CP_UTF8));
    ::LocalFree(wide);
    return args;
}

bool WriteOut(const std::string& bytes) { return WriteHandle(STD_OUTPUT_HANDLE, bytes); }
bool WriteErr(const std::string& bytes) { return WriteHandle(STD_ERROR_HANDLE, bytes); }

std::string Encode(const std::string& utf8, const std::string& codePage) {
    if (codePage.empty() || codePage == "UTF8" || codePage == "65001") return utf8;
    UINT target = CP_ACP;
    if (codePage != "ACP" && codePage != "0") {
        char* end = nullptr;
        const unsigned long number = std::strtoul(codePage.c_str(), &end, 10);
        if (!end || *end || number == 0 || number > 65535) return utf8;
        target = static_cast<UINT>(number);
    }
    const std::string converted = Narrow(Wide(utf8), target);
    return converted.empty() ? utf8 : converted;
}

std::filesystem::path PathFromUtf8(const std::string& text) { return std::filesystem::path(Wide(text)); }
std::string PathToUtf8(const std::filesystem::path& path) { return Narrow(path.native(), CP_UTF8); }

FILE* OpenFile(const std::string& path, const char* mode) { return ::_wfopen(Wide(path).c_str(), Wide(mode).c_str()); }

bool CreateFolders(const std::filesystem::path& folder) {
    // Access comes from the parent folder's inherited rules; there is no mode to set.
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

bool WriteProgram(const std::filesystem::path& target, const char* data, size_t size) {
    // Windows runs any file it can read; there are no execute bits to set.
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    out.close();
    return static_cast<bool>(out);
}

bool StartLingeringChild(const std::string& seconds) { return StartSleeper(seconds, true) != 0; }

void HangWithChild(const std::string& pidFile) {
    // The child gets none of our streams: it is found and stopped through the job the
    // installer put this package into, not through its output.
    const DWORD child = StartSleeper("3600", false);
    if (!pidFile.empty()) {
        std::ofstream out(PathFromUtf8(pidFile), std::ios::binary | std::ios::trunc);
        out << ::GetCurrentProcessId() << " " << child << "\n";
    }
    WaitForever();
}

void WaitForever() {
    for (;;) ::Sleep(INFINITE);
}

}  // namespace sample
