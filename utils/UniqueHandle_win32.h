#pragma once
// The one owner of a Windows kernel handle (a process, thread, job, event or pipe end): closed
// exactly once, when its owner goes or is given another. Null and INVALID_HANDLE_VALUE, the two
// "no handle" values the API returns, both count as empty. For Windows-only sources; included
// after the project's own headers like "utils/WindowsApi_win32.h".
#include "utils/WindowsApi_win32.h"

namespace Utils {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(Normal(handle)) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Gives the handle up without closing it.
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    // Closes the handle held (if any) and takes `handle`. False when closing failed; the old
    // handle is gone either way (a handle is never closed twice).
    bool Reset(HANDLE handle = nullptr) {
        HANDLE old = handle_;
        handle_ = Normal(handle);
        return old == nullptr || ::CloseHandle(old) != 0;
    }

private:
    static HANDLE Normal(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

    HANDLE handle_ = nullptr;
};

}  // namespace Utils
