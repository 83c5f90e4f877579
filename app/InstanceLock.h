#pragma once
// The single-instance lock: an exclusive flock on "D1A547DB89C0BC61_Installer_Quorvex" in
// $XDG_RUNTIME_DIR (else the temporary root). The kernel releases it when the process dies,
// so a crashed installer never blocks the next one. Owned by the main thread.
#include <filesystem>
#include <string>

class InstanceLock {
public:
    explicit InstanceLock(std::wstring lockName = L"Installer_Quorvex");
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process now holds the lock; false when another holds it or the lock
    // file cannot be opened (a link or another user's file is never opened).
    bool Acquire();
    void Release();
    bool Held() const { return fd_ >= 0; }

    std::filesystem::path LockPath() const;

private:
    std::wstring name_;
    int fd_ = -1;
};
