#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform::deflate {

// Packs bit fields from the least significant end, as deflate stores them,
// into a buffer the caller sized with 8 bytes to spare: every flush stores a
// whole 64-bit word and advances by the bytes completed.
class BitWriter {
public:
    explicit BitWriter(std::uint8_t* out) : out_(out) {}

    // At most 56 bits between two flushes.
    void put(std::uint64_t bits, int count) {
        pending_ |= bits << filled_;
        filled_ += count;
    }
    void flush() {
        std::memcpy(out_, &pending_, sizeof pending_);
        out_ += filled_ >> 3;
        pending_ >>= filled_ & ~7;
        filled_ &= 7;
    }
    // Pads with zero bits to the next byte boundary and flushes.
    void alignToByte() {
        filled_ = (filled_ + 7) & ~7;
        flush();
    }
    // Whole bytes, on a byte boundary (after alignToByte).
    void putBytes(const std::uint8_t* bytes, std::size_t size) {
        if (size > 0) { // an empty input may have no buffer at all
            std::memcpy(out_, bytes, size);
            out_ += size;
        }
    }
    std::uint8_t* position() const { return out_; }

private:
    std::uint8_t* out_;
    std::uint64_t pending_ = 0;
    int filled_ = 0;
};

} // namespace platform::deflate
