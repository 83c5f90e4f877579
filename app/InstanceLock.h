#pragma once
// The single-instance lock: an exclusive flock on "D1A547DB89C0BC61_Installer_Quorvex" in
// $XDG_RUNTIME_DIR, or, without a trustworthy runtime folder, inside the checked private
// temporary folder (never in the shared temporary root itself, where another user could own
// or plant the file first). The kernel releases the lock when the process dies, so a crashed
// installer never blocks the next one. Owned by the main thread.
#include <filesystem>
#include <string>

class InstanceLock {
public:
    enum class Result {
        Acquired,       // this process holds the lock
        HeldByAnother,  // another installer runs
        Unavailable,    // no safe place for the lock file, or it cannot be opened
    };

    explicit InstanceLock(std::wstring lockName = L"Installer_Quorvex");
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result TryAcquire();
    // True when this process now holds the lock (TryAcquire gave Acquired).
    bool Acquire() { return TryAcquire() == Result::Acquired; }
    void Release();
    bool Held() const { return fd_ >= 0; }

    // Where the lock file is: $XDG_RUNTIME_DIR when it is a real folder of this user that
    // nobody else can write, else the private temporary folder (created when missing); empty
    // when neither can be had.
    std::filesystem::path LockPath() const;

private:
    std::wstring name_;
    int fd_ = -1;
};
