#include "download/Md5Hash.h"

#include <openssl/evp.h>

namespace Download {

struct Md5Hash::State {
    EVP_MD_CTX* context = nullptr;
    bool usable = false;
    ~State() { EVP_MD_CTX_free(context); }
};

Md5Hash::Md5Hash() : state_(std::make_unique<State>()) {
    state_->context = EVP_MD_CTX_new();
    state_->usable = state_->context && EVP_DigestInit_ex(state_->context, EVP_md5(), nullptr) == 1;
}

Md5Hash::~Md5Hash() = default;

bool Md5Hash::Ok() const { return state_->usable; }

bool Md5Hash::Update(const void* data, std::size_t size) {
    if (!state_->usable) return false;
    if (EVP_DigestUpdate(state_->context, data, size) != 1) state_->usable = false;
    return state_->usable;
}

std::string Md5Hash::FinishHex() {
    if (!state_->usable) return {};
    state_->usable = false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(state_->context, digest, &size) != 1) return {};
    return DigestHex(digest, size);
}

}  // namespace Download
