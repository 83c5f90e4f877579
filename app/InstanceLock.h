#pragma once
// The single-instance lock "D1A547DB89C0BC61_" + name, held by the main thread for the whole
// run. The system releases it when the holder dies, so a crashed installer never blocks the
// next one. Another holder can be another process or another InstanceLock of this process.
//
// Where the lock lives: on Linux an exclusive flock on a file of that name in $XDG_RUNTIME_DIR,
// or, without a trustworthy runtime folder, inside the checked private temporary folder (never
// in the shared temporary root itself, where another user could own or plant the file first);
// on Windows a named mutex of that name in the session's namespace.
#include <memory>
#include <string>

class InstanceLock {
public:
    enum class Result {
        Acquired,       // this process holds the lock
        HeldByAnother,  // another installer runs
        Unavailable,    // the lock object cannot be made (no safe place, no access)
    };

    explicit InstanceLock(std::wstring lockName = L"Installer_Quorvex");
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result TryAcquire();
    // True when this process now holds the lock (TryAcquire gave Acquired).
    bool Acquire() { return TryAcquire() == Result::Acquired; }
    void Release();
    bool Held() const { return held_ != nullptr; }

    // The name the system knows the lock by: the lock file's full path on Linux (the private
    // temporary folder is created when needed; empty when no safe folder can be had), the
    // kernel object's name on Windows.
    std::wstring ObjectName() const;

private:
    struct Holder;  // the system object while held
    std::wstring name_;
    std::unique_ptr<Holder> held_;
};
