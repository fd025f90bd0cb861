#include "platform/Sha256.h"

#include <openssl/evp.h>

#include <new>
#include <stdexcept>

namespace platform {

struct Sha256::Context {
    Context() : ctx(EVP_MD_CTX_new()) {
        if (!ctx) {
            throw std::bad_alloc();
        }
        start();
    }
    ~Context() { EVP_MD_CTX_free(ctx); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    void start() {
        if (EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) != 1) {
            throw std::runtime_error("SHA-256 is not available");
        }
    }

    EVP_MD_CTX* ctx;
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {}
Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::update(QByteArrayView bytes) {
    if (bytes.isEmpty()) {
        return;
    }
    if (EVP_DigestUpdate(context_->ctx, bytes.data(), static_cast<size_t>(bytes.size())) != 1) {
        throw std::runtime_error("SHA-256 update failed");
    }
}

Sha256Digest Sha256::finish() {
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_->ctx, digest.data(), &length) != 1 || length != digest.size()) {
        throw std::runtime_error("SHA-256 digest failed");
    }
    context_->start();
    return digest;
}

} // namespace platform
