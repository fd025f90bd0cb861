#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::deflate {

// Literals followed by one match (or by none, at the end of a block).
struct Sequence {
    std::uint32_t literals = 0;
    std::uint16_t length = 0; // 0: no match
    std::uint16_t distance = 0;
};

// Finds the repeats RowDeflater codes, lazily (a match is put off while the
// one a byte further is longer): runs of one byte (distance 1, what flat
// areas and gradients leave after filtering), the same bytes one row up
// (edges, borders, repeated rows), and earlier occurrences of the next 5
// bytes through a hash table of the last two positions per hash (the same
// glyph again, icons, and the short repeats of photographs' grain). A match
// found through the hash table must be 5 bytes or more: in photographs a
// 4-byte match far back costs more bits than its literals.
class RowMatcher {
public:
    static constexpr std::size_t minimum = 4;
    static constexpr std::size_t maximum = 258;
    static constexpr std::size_t window = 32768;

    explicit RowMatcher(std::size_t rowStride);

    // Splits data[begin, end) into sequences appended to out; matches may
    // copy from data[0, begin) but never run past end. Blocks of one strip
    // are to be matched in order, each after the one before.
    void match(const std::uint8_t* data, std::size_t begin, std::size_t end,
               std::vector<Sequence>& out);

private:
    static constexpr int hashBits = 15;
    static constexpr int ways = 2;

    struct Found {
        std::size_t length = 0;
        std::size_t distance = 0;
    };
    Found longest(const std::uint8_t* data, std::size_t at, std::size_t end);
    // ahead: the 8 bytes at `at` (see hashOfFive).
    void remember(std::uint64_t ahead, std::size_t at);

    std::size_t rowDistance_;           // 0 when a row is beyond the window
    std::vector<std::uint32_t> recent_; // per hash: the last positions, newest first
};

} // namespace platform::deflate
