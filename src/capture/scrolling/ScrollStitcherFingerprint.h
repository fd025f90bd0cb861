#pragma once

#include "capture/scrolling/ScrollStitcherPixels.h"

#include <cstdint>
#include <vector>

namespace capture::stitching {

// Samples per fingerprint row.
inline constexpr int signatureColumns = 96;

// A frame's fingerprint: one row of grey samples per pixel row, from the top.
struct SignatureView {
    const std::uint8_t* samples = nullptr;
    int rows = 0;

    const std::uint8_t* row(int y) const {
        return samples + static_cast<std::ptrdiff_t>(y) * signatureColumns;
    }
};

// Makes fingerprints: each pixel row becomes `signatureColumns` grey samples.
// Columns are averaged so that the leftmost W − trim pixels fill the samples,
// trim = min(W / 10, 40) pixels, which leaves out the right edge where
// scroll bars come and go. Rows keep their full resolution, so a shift of
// the content by n pixel rows is a shift of the fingerprint by n rows.
//
// Keeps its weights and its grey row between frames: a stream of frames of
// one size costs no allocation after the first.
class Fingerprinter {
public:
    static constexpr int minimumWidth = 8;
    static constexpr int minimumHeight = 16;

    // Writes the fingerprint of `frame` into `signature` (resized to
    // H × signatureColumns). False, with `signature` untouched, for a frame
    // narrower than 8 or lower than 16 pixels or without pixels.
    bool make(PixelView frame, std::vector<std::uint8_t>& signature);

    // How many pixel columns from the left the samples cover, for `width`.
    static double coveredWidth(int width);

private:
    void prepare(int width);

    int width_ = 0;
    // Each sample's weights padded with zeros to whole groups of eight, so
    // that they are summed eight at a time.
    std::vector<int> firstColumn_;
    std::vector<int> groups_;
    std::vector<std::int16_t> weights_;
    std::vector<std::int16_t> grey_; // zeros past the covered columns
    int used_ = 0;                   // columns read from each row
};

} // namespace capture::stitching
