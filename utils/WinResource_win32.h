#pragma once
// Owners of the Windows resources the utilities hold for the length of one call: registry
// keys, memory and libraries the system hands out, COM interfaces (kernel handles: see
// UniqueHandle_win32.h). Each frees its resource exactly once, with the function the system
// names for it. Include after WindowsApi_win32.h.
#include <memory>

#include <objbase.h>

namespace Utils::win {

// A pointer-like resource freed by `Free` (RegCloseKey, LocalFree, CoTaskMemFree, FreeLibrary,
// FreeSid, NetApiBufferFree, WTSFreeMemory, ...).
template <auto Free>
struct FreeWith {
    template <typename P>
    void operator()(P p) const {
        if (p) Free(p);
    }
};
template <typename Pointee, auto Free>
using UniqueFree = std::unique_ptr<Pointee, FreeWith<Free>>;

// A COM interface pointer, released once.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_) p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For the out parameter of a creating call; the pointer must be empty.
    T** Receive() { return &p_; }
    void** ReceiveVoid() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// COM for the calling thread (single-threaded apartment) for the length of a scope. A thread
// that already runs in another apartment model keeps it; only a successful initialisation is
// undone.
class ComApartment {
public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

}  // namespace Utils::win
