#include "tests/utils/ChildProbePlatform.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "utils/WindowsApi_win32.h"

namespace probe {

bool PrintOpenDescriptors() { return false; }  // Windows has no list of its own handles to read

void UseBinaryStdio() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::string HeldFile(const std::string& value) {
    const auto handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(value.c_str(), nullptr, 10)));
    wchar_t path[1024];
    const DWORD n = ::GetFinalPathNameByHandleW(handle, path, 1024, FILE_NAME_NORMALIZED);
    if (n == 0 || n >= 1024) return {};
    std::string text;
    for (DWORD i = 0; i < n; ++i) text += path[i] < 128 ? static_cast<char>(path[i]) : '?';
    return text;
}

long long OwnProcessId() { return ::GetCurrentProcessId(); }

std::string OwnCommandLine() {
    const wchar_t* line = ::GetCommandLineW();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string text(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<size_t>(size - 1));
    return text;
}

long long StartSelf(const std::vector<std::string>& args) {
    wchar_t self[MAX_PATH * 2];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) return -1;
    std::wstring line = L"\"" + std::wstring(self) + L"\"";
    for (const auto& a : args) line += L" " + std::wstring(a.begin(), a.end());  // ASCII steps only
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                          &info))
        return -1;
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return info.dwProcessId;
}

void SleepMs(long ms) { ::Sleep(static_cast<DWORD>(ms)); }

}  // namespace probe
