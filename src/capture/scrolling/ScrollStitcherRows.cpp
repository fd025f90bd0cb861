#include "capture/scrolling/ScrollStitcherRows.h"

#include <algorithm>

namespace capture::stitching {

void copyOpaque(PixelView source, MutablePixelView target) {
    for (int y = 0; y < target.height; ++y) {
        const Pixel* in = source.row(y);
        Pixel* out = target.row(y);
        for (int x = 0; x < target.width; ++x) {
            out[x] = opaque(in[x]);
        }
    }
}

RowStore::RowStore(int width, int blockRows) : width_(width) {
    constexpr std::ptrdiff_t blockBytes = 8 << 20;
    const auto rowBytes = static_cast<std::ptrdiff_t>(std::max(width, 1)) * 4;
    blockRows_ = std::max(blockRows, static_cast<int>(blockBytes / rowBytes));
}

PixelView RowStore::append(PixelView source, int first, int count) {
    const auto rowBytes = static_cast<std::ptrdiff_t>(width_) * 4;
    if (blocks_.empty() || blockCapacity_ - blockUsed_ < count) {
        const int rows = std::max(blockRows_, count);
        blocks_.reserve(blocks_.size() + 1);
        blocks_.push_back(std::make_unique_for_overwrite<Pixel[]>(
            static_cast<std::size_t>(rows) * static_cast<std::size_t>(width_)));
        blockCapacity_ = rows;
        blockUsed_ = 0;
    }
    auto* bits = reinterpret_cast<std::uint8_t*>(blocks_.back().get()) + blockUsed_ * rowBytes;
    const MutablePixelView target{bits, width_, count, rowBytes};
    copyOpaque(source.rows(first, count), target);
    blockUsed_ += count;
    return target;
}

} // namespace capture::stitching
