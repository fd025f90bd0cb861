#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::deflate {

// A deflate writer made for PNG's filtered rows, far cheaper than a general
// one: it looks for two kinds of repeats only, a byte repeated (the runs that
// flat areas and gradients leave after filtering) and the same bytes one row
// up (borders, edges, repeated rows), and codes each block with Huffman
// tables built from the block's own symbols. Photographic content, where no
// matcher finds much, costs little more than its entropy coding.
//
// Its output ends on a byte boundary so that the streams of consecutive strips
// of one image join by plain concatenation: every strip but the last ends
// with an empty stored block, as zlib's sync flush does, and the last with a
// final block. Matches never reach before a strip's first byte.
class RowDeflater {
public:
    // rowStride: the bytes of one filtered row, its filter byte included.
    explicit RowDeflater(std::size_t rowStride);

    // The most bytes deflate() writes for size bytes of input.
    static std::size_t bound(std::size_t size);

    // Compresses size bytes (whole rows or not) into out, which has room for
    // bound(size) bytes, and returns the bytes written.
    std::size_t deflate(const std::uint8_t* data, std::size_t size, bool final,
                        std::uint8_t* out) const;

private:
    std::size_t rowStride_;
};

} // namespace platform::deflate
