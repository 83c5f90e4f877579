#include "download/Hash.h"

#include "download/Md5Hash.h"
#include "utils/WindowsApi_win32.h"

#include <bcrypt.h>

namespace Download {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

const wchar_t* AlgorithmId(HashAlgorithm algorithm) {
    switch (algorithm) {
        case HashAlgorithm::Md5:
            return BCRYPT_MD5_ALGORITHM;
        case HashAlgorithm::Sha256:
            return BCRYPT_SHA256_ALGORITHM;
        case HashAlgorithm::Sha512:
            return BCRYPT_SHA512_ALGORITHM;
    }
    return nullptr;
}

}  // namespace

// The algorithm provider is opened per hash: hashes are few (one or two per download) and a
// shared provider would need its own lifetime across threads.
struct Hash::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool usable = false;
    ~State() {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Hash::Hash(HashAlgorithm algorithm) : algorithm_(algorithm), state_(std::make_unique<State>()) {
    const wchar_t* id = AlgorithmId(algorithm);
    if (!id || !Succeeded(BCryptOpenAlgorithmProvider(&state_->algorithm, id, nullptr, 0))) {
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

Hash::~Hash() = default;

bool Hash::Ok() const { return state_->usable; }

bool Hash::Update(const void* data, std::size_t size) {
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

std::vector<unsigned char> Hash::Finish() {
    if (!state_->usable) return {};
    state_->usable = false;
    std::vector<unsigned char> digest(DigestBytes(algorithm_));
    if (!Succeeded(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0))) return {};
    return digest;
}

std::string Hash::FinishHex() {
    const std::vector<unsigned char> digest = Finish();
    return digest.empty() ? std::string() : DigestHex(digest.data(), digest.size());
}

}  // namespace Download
