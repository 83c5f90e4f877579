#pragma once
// Functions newer than Windows 7 SP1, the oldest system the programs start on, are never
// imported: a missing import stops the loader before the program runs. They are looked up here
// instead, and each caller has a fallback for a system without them. Include after
// WindowsApi_win32.h.

namespace Utils::win {

// The address of `name` in the system library `module` ("user32.dll", "shcore.dll", ...), or
// nullptr when the library or the function does not exist. A library the process has not
// loaded yet is loaded from the system folder only, and stays loaded for the process's life
// (callers keep the address).
void* FindSystemFunction(const wchar_t* module, const char* name);

template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
    return reinterpret_cast<Function>(FindSystemFunction(module, name));
}

}  // namespace Utils::win
