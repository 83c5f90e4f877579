#include "tools/package-server/Md5.h"

#include "utils/WindowsApi_win32.h"

#include <bcrypt.h>

#include <climits>
#include <cstdio>

namespace PackageServer {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

struct Md5::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = false;
    ~State() {
        if (hash) ::BCryptDestroyHash(hash);
        if (algorithm) ::BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Md5::Md5() : state_(std::make_unique<State>()) {
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
        state_->algorithm = nullptr;
        return;
    }
    if (!Succeeded(::BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0))) {
        state_->hash = nullptr;
        return;
    }
    state_->ok = true;
}

Md5::~Md5() = default;

bool Md5::Update(const void* data, std::size_t size) {
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));  // BCrypt does not write to it
    while (state_->ok && size > 0) {
        const ULONG chunk = static_cast<ULONG>(size < ULONG_MAX ? size : ULONG_MAX);
        state_->ok = Succeeded(::BCryptHashData(state_->hash, bytes, chunk, 0));
        bytes += chunk;
        size -= chunk;
    }
    return state_->ok;
}

std::string Md5::FinishHex() {
    UCHAR digest[16];
    state_->ok = state_->ok && Succeeded(::BCryptFinishHash(state_->hash, digest, sizeof digest, 0));
    if (!state_->ok) return {};
    state_->ok = false;  // finished: a second call reports failure rather than a wrong digest
    std::string hex;
    char two[3];
    for (UCHAR byte : digest) {
        std::snprintf(two, sizeof two, "%02x", byte);
        hex += two;
    }
    return hex;
}

}  // namespace PackageServer
