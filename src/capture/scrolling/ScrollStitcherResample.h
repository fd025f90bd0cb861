#pragma once

#include "capture/scrolling/ScrollStitcherPixels.h"

#include <cstdint>
#include <vector>

namespace capture::stitching {

// Box-filter weights for shrinking (or stretching) a line of source samples
// onto `outputs` samples: output i averages the source over [i·s, (i+1)·s)
// with s = extent / outputs, each source sample weighted by how much of it the
// interval covers. Weights are fixed point and add up to exactly `one` for
// every output, so a flat line stays flat and results never depend on the
// floating-point unit.
class AreaWeights {
public:
    static constexpr int shift = 14;
    static constexpr std::uint32_t one = 1u << shift;

    AreaWeights() = default;
    // `extent` (> 0) is how much of the source the outputs cover, in samples
    // from 0; sources at `extent` and beyond get no weight.
    AreaWeights(double extent, int outputs) { assign(extent, outputs); }

    // Reuses the storage of earlier weights.
    void assign(double extent, int outputs);

    int outputs() const { return static_cast<int>(firstSource_.size()); }
    // The first source sample of output i and how many follow it.
    int firstSource(int i) const { return firstSource_[static_cast<std::size_t>(i)]; }
    int sourceCount(int i) const { return count_[static_cast<std::size_t>(i)]; }
    const std::uint16_t* weights(int i) const {
        return weights_.data() + offset_[static_cast<std::size_t>(i)];
    }
    // One past the last source sample that any output reads.
    int sourceEnd() const { return sourceEnd_; }

private:
    std::vector<int> firstSource_;
    std::vector<int> count_;
    std::vector<int> offset_;
    std::vector<std::uint16_t> weights_;
    int sourceEnd_ = 0;
};

// Copies pixels of the same size row by row.
void copyPixels(PixelView source, MutablePixelView target);

// Redraws `source` over the whole of `target` picking the nearest source
// pixel: for enlarging, where no smoothing is wanted.
void scaleNearest(PixelView source, MutablePixelView target);

// Redraws `source` over the whole of `target` averaging the source area under
// each target pixel: for shrinking.
void scaleArea(PixelView source, MutablePixelView target);

} // namespace capture::stitching
