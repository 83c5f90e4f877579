#include "download/Hash.h"

#include <openssl/evp.h>

#include "download/Md5Hash.h"

namespace Download {
namespace {

const EVP_MD* Method(HashAlgorithm algorithm) {
    switch (algorithm) {
        case HashAlgorithm::Md5:
            return EVP_md5();
        case HashAlgorithm::Sha256:
            return EVP_sha256();
        case HashAlgorithm::Sha512:
            return EVP_sha512();
    }
    return nullptr;
}

}  // namespace

struct Hash::State {
    EVP_MD_CTX* context = nullptr;
    bool usable = false;
    ~State() { EVP_MD_CTX_free(context); }
};

Hash::Hash(HashAlgorithm algorithm) : algorithm_(algorithm), state_(std::make_unique<State>()) {
    const EVP_MD* method = Method(algorithm);
    state_->context = EVP_MD_CTX_new();
    state_->usable = method && state_->context && EVP_DigestInit_ex(state_->context, method, nullptr) == 1;
}

Hash::~Hash() = default;

bool Hash::Ok() const { return state_->usable; }

bool Hash::Update(const void* data, std::size_t size) {
    if (!state_->usable) return false;
    if (EVP_DigestUpdate(state_->context, data, size) != 1) state_->usable = false;
    return state_->usable;
}

std::vector<unsigned char> Hash::Finish() {
    if (!state_->usable) return {};
    state_->usable = false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(state_->context, digest, &size) != 1) return {};
    return std::vector<unsigned char>(digest, digest + size);
}

std::string Hash::FinishHex() {
    const std::vector<unsigned char> digest = Finish();
    return digest.empty() ? std::string() : DigestHex(digest.data(), digest.size());
}

}  // namespace Download
