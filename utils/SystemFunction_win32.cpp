#include "utils/WindowsApi_win32.h"

#include "utils/SystemFunction_win32.h"

#include <string>

namespace Utils::win {
namespace {

HMODULE LoadFromSystemFolder(const wchar_t* module) {
    // LOAD_LIBRARY_SEARCH_SYSTEM32 needs the update that added SetDefaultDllDirectories; a
    // Windows 7 without it refuses the flag, and gets the library by its full path instead.
    if (HMODULE loaded = ::LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return loaded;
    if (::GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + module;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void* FindSystemFunction(const wchar_t* module, const char* name) {
    HMODULE library = ::GetModuleHandleW(module);
    if (!library) library = LoadFromSystemFolder(module);
    if (!library) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(library, name));
}

}  // namespace Utils::win
