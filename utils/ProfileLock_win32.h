#pragma once
// The lock that serialises our processes' access to one profile file on Windows. The system's
// profile functions rewrite a file in place and keep no lock between their read and their
// write, so two processes writing different keys could each write back a copy without the
// other's key; every read and write of this module takes this lock first.
//
// The lock is a named mutex of the user's session whose name is derived from the file's full
// path, compared without case as the file system compares it. A holder that dies leaves it
// abandoned, which the next waiter takes over: the file itself is always whole, since writes
// of this module replace it atomically and the system's writes are done by the time it returns.
#include <filesystem>

#include "utils/WindowsApi_win32.h"
#include "utils/UniqueHandle_win32.h"

namespace Utils {

class ProfileLock {
public:
    // Waits up to kProfileLockTimeout; Held() tells whether the lock was had.
    explicit ProfileLock(const std::filesystem::path& file);
    ~ProfileLock();
    ProfileLock(const ProfileLock&) = delete;
    ProfileLock& operator=(const ProfileLock&) = delete;

    bool Held() const { return held_; }

private:
    UniqueHandle mutex_;
    bool held_ = false;
};

}  // namespace Utils
