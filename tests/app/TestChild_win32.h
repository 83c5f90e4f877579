#pragma once
// A child process for the Windows app tests: started hidden with its standard output and error
// joined into one pipe that a reader thread collects, standard input on the null device. The
// destructor ends a child that is still running and closes every handle.
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "utils/WindowsApi_win32.h"

namespace testsupport {

// One closed-on-scope-exit HANDLE.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() { Reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    void Reset() {
        if (Valid()) ::CloseHandle(handle_);
        handle_ = nullptr;
    }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

// `path` in double quotes, for a command line (test paths hold no quote of their own).
inline std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// A path the build names on the build machine, as the program under test sees it: wine shows
// the build machine's root as drive Z:.
inline std::wstring RuntimePath(const std::string& buildPath) {
    std::wstring path(buildPath.begin(), buildPath.end());
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

class TestChild {
public:
    explicit TestChild(std::wstring commandLine, const std::wstring& folder = L"") {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return;
        read_ = OwnedHandle(readEnd);
        OwnedHandle write(writeEnd);
        ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        OwnedHandle nul(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                      0, nullptr));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = nul.Get();
        si.hStdOutput = writeEnd;
        si.hStdError = writeEnd;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                              folder.empty() ? nullptr : folder.c_str(), &si, &pi))
            return;
        process_ = OwnedHandle(pi.hProcess);
        OwnedHandle thread(pi.hThread);
        pid_ = pi.dwProcessId;
        write.Reset();  // the child holds the only write end: end of data when it is gone
        reader_ = std::thread([this] {
            char buffer[4096];
            DWORD got = 0;
            while (::ReadFile(read_.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
                std::lock_guard hold(lock_);
                output_.append(buffer, got);
            }
        });
    }
    ~TestChild() {
        Terminate();
        if (reader_.joinable()) reader_.join();
    }
    TestChild(const TestChild&) = delete;
    TestChild& operator=(const TestChild&) = delete;

    bool Started() const { return process_.Valid(); }
    DWORD Pid() const { return pid_; }
    HANDLE Process() const { return process_.Get(); }

    // The exit code once the child has ended, nothing when it still runs after `limit`.
    std::optional<DWORD> Wait(std::chrono::milliseconds limit) {
        if (!Started() || ::WaitForSingleObject(process_.Get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
            return std::nullopt;
        DWORD code = 0;
        if (!::GetExitCodeProcess(process_.Get(), &code)) return std::nullopt;
        if (reader_.joinable()) reader_.join();  // everything it wrote is collected
        return code;
    }

    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Output().find(text) != std::string::npos) return true;
            ::Sleep(20);
        }
        return false;
    }

    std::string Output() {
        std::lock_guard hold(lock_);
        return output_;
    }

    // Ends the child outright (as a crash or a kill would) and waits until it is gone.
    void Terminate() {
        if (!Started()) return;
        DWORD code = 0;
        if (::GetExitCodeProcess(process_.Get(), &code) && code == STILL_ACTIVE) {
            ::TerminateProcess(process_.Get(), 99);
            ::WaitForSingleObject(process_.Get(), 10000);
        }
    }

private:
    OwnedHandle process_;
    OwnedHandle read_;
    DWORD pid_ = 0;
    std::thread reader_;
    std::mutex lock_;
    std::string output_;
};

}  // namespace testsupport
