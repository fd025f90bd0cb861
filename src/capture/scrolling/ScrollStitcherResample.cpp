#include "capture/scrolling/ScrollStitcherResample.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace capture::stitching {

void AreaWeights::assign(double extent, int outputs) {
    const auto n = static_cast<std::size_t>(std::max(outputs, 0));
    firstSource_.assign(n, 0);
    count_.assign(n, 0);
    offset_.assign(n, 0);
    weights_.clear();
    sourceEnd_ = 0;
    if (n == 0 || !(extent > 0)) {
        return;
    }
    const double step = extent / outputs;
    for (int i = 0; i < outputs; ++i) {
        const double x0 = i * step;
        const double x1 = i + 1 == outputs ? extent : (i + 1) * step;
        // Weights are differences of one rounded running total, so each
        // output's weights add up to exactly `one` whatever the rounding.
        const auto total = [&](double x) {
            return static_cast<std::uint32_t>(std::lround((x - x0) / (x1 - x0) * one));
        };
        const int c0 = static_cast<int>(std::floor(x0));
        const int c1 = std::max(c0 + 1, static_cast<int>(std::ceil(x1)));
        const auto index = static_cast<std::size_t>(i);
        firstSource_[index] = c0;
        count_[index] = c1 - c0;
        offset_[index] = static_cast<int>(weights_.size());
        for (int c = c0; c < c1; ++c) {
            const double lo = std::max<double>(c, x0);
            const double hi = std::min<double>(c + 1, x1);
            weights_.push_back(static_cast<std::uint16_t>(total(hi) - total(lo)));
        }
        sourceEnd_ = std::max(sourceEnd_, c1);
    }
}

void copyPixels(PixelView source, MutablePixelView target) {
    const auto bytes = static_cast<std::size_t>(target.width) * sizeof(Pixel);
    for (int y = 0; y < target.height; ++y) {
        std::memcpy(target.row(y), source.row(y), bytes);
    }
}

void scaleNearest(PixelView source, MutablePixelView target) {
    // The source pixel under the centre of each target pixel, in integers so
    // that the same sizes always pick the same pixels.
    const auto nearest = [](int i, int from, int to) {
        const auto s = ((2LL * i + 1) * from) / (2LL * to);
        return static_cast<int>(std::min<long long>(s, from - 1));
    };
    std::vector<int> columns(static_cast<std::size_t>(target.width));
    for (int x = 0; x < target.width; ++x) {
        columns[static_cast<std::size_t>(x)] = nearest(x, source.width, target.width);
    }
    for (int y = 0; y < target.height; ++y) {
        const Pixel* in = source.row(nearest(y, source.height, target.height));
        Pixel* out = target.row(y);
        for (int x = 0; x < target.width; ++x) {
            out[x] = in[columns[static_cast<std::size_t>(x)]];
        }
    }
}

void scaleArea(PixelView source, MutablePixelView target) {
    const AreaWeights across(source.width, target.width);
    const AreaWeights down(source.height, target.height);
    const auto channels = static_cast<std::size_t>(target.width) * 4;
    // One source row shrunk across, per channel, with 8 bits of fraction kept
    // so that the second pass rounds only once.
    std::vector<std::uint32_t> line(channels);
    std::vector<std::uint32_t> sum(channels);
    constexpr int lineShift = AreaWeights::shift - 8;
    constexpr int sumShift = AreaWeights::shift + 8;

    for (int y = 0; y < target.height; ++y) {
        std::fill(sum.begin(), sum.end(), 0u);
        const std::uint16_t* rowWeights = down.weights(y);
        for (int k = 0; k < down.sourceCount(y); ++k) {
            const std::uint32_t wy = rowWeights[k];
            if (wy == 0) {
                continue;
            }
            const Pixel* in = source.row(down.firstSource(y) + k);
            for (int x = 0; x < target.width; ++x) {
                const Pixel* from = in + across.firstSource(x);
                const std::uint16_t* w = across.weights(x);
                std::uint32_t b = 0, g = 0, r = 0, a = 0;
                for (int j = 0; j < across.sourceCount(x); ++j) {
                    const Pixel p = from[j];
                    b += w[j] * (p & 0xff);
                    g += w[j] * ((p >> 8) & 0xff);
                    r += w[j] * ((p >> 16) & 0xff);
                    a += w[j] * (p >> 24);
                }
                constexpr std::uint32_t half = 1u << (lineShift - 1);
                std::uint32_t* out = line.data() + 4 * static_cast<std::size_t>(x);
                out[0] = (b + half) >> lineShift;
                out[1] = (g + half) >> lineShift;
                out[2] = (r + half) >> lineShift;
                out[3] = (a + half) >> lineShift;
            }
            for (std::size_t c = 0; c < channels; ++c) {
                sum[c] += wy * line[c];
            }
        }
        Pixel* out = target.row(y);
        constexpr std::uint32_t half = 1u << (sumShift - 1);
        for (int x = 0; x < target.width; ++x) {
            const std::uint32_t* s = sum.data() + 4 * static_cast<std::size_t>(x);
            out[x] = ((s[0] + half) >> sumShift) | (((s[1] + half) >> sumShift) << 8) |
                     (((s[2] + half) >> sumShift) << 16) | (((s[3] + half) >> sumShift) << 24);
        }
    }
}

} // namespace capture::stitching
