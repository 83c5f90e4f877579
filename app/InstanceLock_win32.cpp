#include "app/InstanceLock.h"

#include "utils/Log.h"
#include "utils/WindowsApi_win32.h"

// The owned mutex; closing the last handle (here, or the system's at process death) frees the
// name for the next installer.
struct InstanceLock::Holder {
    explicit Holder(HANDLE owned) : mutex(owned) {}
    ~Holder() {
        // Fails harmlessly when another thread releases: the handle's close still drops the name.
        ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    HANDLE mutex;
};

InstanceLock::InstanceLock(std::wstring lockName) : name_(std::move(lockName)) {}

InstanceLock::~InstanceLock() { Release(); }

std::wstring InstanceLock::ObjectName() const { return L"D1A547DB89C0BC61_" + name_; }

InstanceLock::Result InstanceLock::TryAcquire() {
    if (held_) return Result::Acquired;
    const std::wstring name = ObjectName();
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name.c_str());
    const DWORD error = ::GetLastError();
    if (mutex && error == ERROR_ALREADY_EXISTS) {
        // Someone made it first; our handle does not own it.
        ::CloseHandle(mutex);
        return Result::HeldByAnother;
    }
    if (!mutex) {
        // A mutex of that name made by another account (an elevated installer's object refuses
        // a plain one) is another installer all the same.
        if (error == ERROR_ACCESS_DENIED) return Result::HeldByAnother;
        QLOG(L"instance lock: CreateMutexW failed, error %lu\r\n", static_cast<unsigned long>(error));
        return Result::Unavailable;
    }
    held_ = std::make_unique<Holder>(mutex);
    return Result::Acquired;
}

void InstanceLock::Release() { held_.reset(); }
