#include "tools/package-server/Md5.h"

#include <openssl/evp.h>

#include <cstdio>

namespace PackageServer {

struct Md5::State {
    EVP_MD_CTX* ctx = nullptr;
    bool ok = false;
    ~State() {
        if (ctx) EVP_MD_CTX_free(ctx);
    }
};

Md5::Md5() : state_(std::make_unique<State>()) {
    state_->ctx = EVP_MD_CTX_new();
    state_->ok = state_->ctx && EVP_DigestInit_ex(state_->ctx, EVP_md5(), nullptr) == 1;
}

Md5::~Md5() = default;

bool Md5::Update(const void* data, std::size_t size) {
    state_->ok = state_->ok && EVP_DigestUpdate(state_->ctx, data, size) == 1;
    return state_->ok;
}

std::string Md5::FinishHex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    state_->ok = state_->ok && EVP_DigestFinal_ex(state_->ctx, digest, &size) == 1;
    if (!state_->ok) return {};
    state_->ok = false;  // finished: a second call reports failure rather than a wrong digest
    std::string hex;
    char two[3];
    for (unsigned i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    return hex;
}

}  // namespace PackageServer
