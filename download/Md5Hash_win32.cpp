#include "download/Md5Hash.h"

#include "utils/WindowsApi_win32.h"

#include <bcrypt.h>

namespace Download {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

// The algorithm provider is opened per hash: hashes are few (one per download) and a shared
// provider would need its own lifetime across threads.
struct Md5Hash::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool usable = false;
    ~State() {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Md5Hash::Md5Hash() : state_(std::make_unique<State>()) {
    if (!Succeeded(BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
        state_->algorithm = nullptr;
        return;
    }
    // A null object buffer lets BCrypt hold the hash object itself (Windows 7 and later).
    if (!Succeeded(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0))) {
        state_->hash = nullptr;
        return;
    }
    state_->usable = true;
}

Md5Hash::~Md5Hash() = default;

bool Md5Hash::Ok() const { return state_->usable; }

bool Md5Hash::Update(const void* data, std::size_t size) {
    if (!state_->usable) return false;
    // BCryptHashData takes a 32-bit count: larger blocks go in pieces.
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
        const ULONG piece = static_cast<ULONG>(size > 0x40000000u ? 0x40000000u : size);
        if (!Succeeded(BCryptHashData(state_->hash, bytes, piece, 0))) {
            state_->usable = false;
            return false;
        }
        bytes += piece;
        size -= piece;
    }
    return true;
}

std::string Md5Hash::FinishHex() {
    if (!state_->usable) return {};
    state_->usable = false;
    unsigned char digest[16];
    if (!Succeeded(BCryptFinishHash(state_->hash, digest, sizeof digest, 0))) return {};
    return DigestHex(digest, sizeof digest);
}

}  // namespace Download
