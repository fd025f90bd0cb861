#pragma once

#include "capture/scrolling/ScrollStitcherPixels.h"

#include <memory>
#include <vector>

namespace capture::stitching {

// Copies `source` into `target` (same size), making every pixel opaque.
void copyOpaque(PixelView source, MutablePixelView target);

// Keeps the rows cut from frames, all of one width, in large blocks: adding a
// slice allocates only when a block is full, and never moves the slices kept
// so far, so their views stay valid for the store's life.
class RowStore {
public:
    // Blocks hold at least `blockRows` rows and about 8 MiB.
    RowStore(int width, int blockRows);

    // Copies rows [first, first + count) of `source` (of the store's width),
    // made opaque, and returns the copy. Throws std::bad_alloc, keeping what
    // was stored before, when memory runs out.
    PixelView append(PixelView source, int first, int count);

private:
    int width_;
    int blockRows_;
    std::vector<std::unique_ptr<Pixel[]>> blocks_;
    int blockCapacity_ = 0; // rows of the newest block
    int blockUsed_ = 0;     // rows of it in use
};

} // namespace capture::stitching
