#pragma once

#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <memory>

namespace platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

// An incremental SHA-256 (FIPS 180-4) hasher.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Absorbs the bytes in order; an empty view adds nothing.
    void update(QByteArrayView bytes);
    // The digest of everything absorbed; the hasher starts over empty.
    Sha256Digest finish();

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

} // namespace platform
