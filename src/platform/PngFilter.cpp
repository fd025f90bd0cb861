#include "platform/PngFilter.h"

#include <cstdlib>
#include <cstring>

// The row loops are compiled twice, for AVX2 and for any x86-64, and the
// processor's own picks one when the program loads: the kernels are inlined
// into the two entry points below so that each copy is built for its target.
// Clang 14 emits the clones of a member function under names its own calls do
// not reach (the link fails), so its builds keep the one portable copy.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VEXLIN_FILTER_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VEXLIN_FILTER_CLONES
#endif
#define VEXLIN_KERNEL [[gnu::always_inline]] inline

namespace platform::png {

namespace {

inline std::uint8_t paethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) {
        return static_cast<std::uint8_t>(a);
    }
    return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// A residual's size, capped: beyond it a byte costs about the same however
// large, and an edge in the row should not outweigh the rest of it.
VEXLIN_KERNEL unsigned magnitude(std::uint8_t value) {
    constexpr unsigned cap = 24;
    const int s = static_cast<std::int8_t>(value);
    const unsigned m = static_cast<unsigned>(s < 0 ? -s : s);
    return m < cap ? m : cap;
}

// Each filter writes its output and returns the row's cost. The pixel size is
// a template argument so that the loops vectorise.
template <int bpp> VEXLIN_KERNEL unsigned costNone(const std::uint8_t* row, std::size_t n) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += magnitude(row[i]);
    }
    return sum;
}

template <int bpp>
VEXLIN_KERNEL unsigned applySub(const std::uint8_t* row, std::size_t n, std::uint8_t* out) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < bpp && i < n; ++i) {
        out[i] = row[i];
        sum += magnitude(out[i]);
    }
    for (std::size_t i = bpp; i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - row[i - bpp]);
        sum += magnitude(out[i]);
    }
    return sum;
}

template <int bpp>
VEXLIN_KERNEL unsigned applyUp(const std::uint8_t* row, const std::uint8_t* prev, std::size_t n,
                               std::uint8_t* out) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - prev[i]);
        sum += magnitude(out[i]);
    }
    return sum;
}

template <int bpp>
VEXLIN_KERNEL unsigned applyAverage(const std::uint8_t* row, const std::uint8_t* prev,
                                    std::size_t n, std::uint8_t* out) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < bpp && i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - (prev[i] >> 1));
        sum += magnitude(out[i]);
    }
    for (std::size_t i = bpp; i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - ((row[i - bpp] + prev[i]) >> 1));
        sum += magnitude(out[i]);
    }
    return sum;
}

template <int bpp>
VEXLIN_KERNEL unsigned applyPaeth(const std::uint8_t* row, const std::uint8_t* prev, std::size_t n,
                                  std::uint8_t* out) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < bpp && i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - prev[i]);
        sum += magnitude(out[i]);
    }
    // The predictor without branches, in 16-bit lanes, so that the loop
    // vectorises: pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|.
    for (std::size_t i = bpp; i < n; ++i) {
        const std::int16_t a = row[i - bpp];
        const std::int16_t b = prev[i];
        const std::int16_t c = prev[i - bpp];
        const std::int16_t bc = static_cast<std::int16_t>(b - c);
        const std::int16_t ac = static_cast<std::int16_t>(a - c);
        const std::int16_t pa = static_cast<std::int16_t>(bc < 0 ? -bc : bc);
        const std::int16_t pb = static_cast<std::int16_t>(ac < 0 ? -ac : ac);
        const std::int16_t sumBoth = static_cast<std::int16_t>(ac + bc);
        const std::int16_t pc = static_cast<std::int16_t>(sumBoth < 0 ? -sumBoth : sumBoth);
        const std::int16_t nearer = pb <= pc ? b : c;
        const std::int16_t predicted = (pa <= pb && pa <= pc) ? a : nearer;
        out[i] = static_cast<std::uint8_t>(row[i] - predicted);
        sum += magnitude(out[i]);
    }
    return sum;
}

template <int bpp>
VEXLIN_KERNEL void adaptive(const std::uint8_t* row, const std::uint8_t* prev, std::size_t n,
                            std::uint8_t* scratch, std::uint8_t* out) {
    // Candidates are written side by side in scratch; the cheapest is copied.
    unsigned best = costNone<bpp>(row, n);
    const std::uint8_t* bestBytes = row;
    Filter bestFilter = Filter::none;
    const auto consider = [&](Filter filter, unsigned cost, const std::uint8_t* bytes) {
        if (cost < best) {
            best = cost;
            bestBytes = bytes;
            bestFilter = filter;
        }
    };
    consider(Filter::sub, applySub<bpp>(row, n, scratch), scratch);
    consider(Filter::up, applyUp<bpp>(row, prev, n, scratch + n), scratch + n);
    consider(Filter::average, applyAverage<bpp>(row, prev, n, scratch + 2 * n), scratch + 2 * n);
    consider(Filter::paeth, applyPaeth<bpp>(row, prev, n, scratch + 3 * n), scratch + 3 * n);
    out[0] = static_cast<std::uint8_t>(bestFilter);
    std::memcpy(out + 1, bestBytes, n);
}

template <int bpp>
VEXLIN_KERNEL void fixed(Filter filter, const std::uint8_t* row, const std::uint8_t* prev,
                         std::size_t n, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(filter);
    switch (filter) {
    case Filter::none:
        std::memcpy(out + 1, row, n);
        break;
    case Filter::sub:
        applySub<bpp>(row, n, out + 1);
        break;
    case Filter::up:
        applyUp<bpp>(row, prev, n, out + 1);
        break;
    case Filter::average:
        applyAverage<bpp>(row, prev, n, out + 1);
        break;
    case Filter::paeth:
        applyPaeth<bpp>(row, prev, n, out + 1);
        break;
    }
}

} // namespace

RowFilter::RowFilter(std::size_t rowBytes, int bytesPerPixel)
    : rowBytes_(rowBytes)
    , bytesPerPixel_(bytesPerPixel)
    , zeros_(rowBytes, 0)
    , candidates_(4 * rowBytes) {}

VEXLIN_FILTER_CLONES void RowFilter::filterAdaptive(const std::uint8_t* row,
                                                    const std::uint8_t* previous,
                                                    std::uint8_t* out) {
    const std::uint8_t* prev = previous ? previous : zeros_.data();
    if (bytesPerPixel_ == 4) {
        adaptive<4>(row, prev, rowBytes_, candidates_.data(), out);
    } else {
        adaptive<3>(row, prev, rowBytes_, candidates_.data(), out);
    }
}

VEXLIN_FILTER_CLONES void RowFilter::filterWith(Filter filter, const std::uint8_t* row,
                                                const std::uint8_t* previous, std::uint8_t* out) {
    const std::uint8_t* prev = previous ? previous : zeros_.data();
    if (bytesPerPixel_ == 4) {
        fixed<4>(filter, row, prev, rowBytes_, out);
    } else {
        fixed<3>(filter, row, prev, rowBytes_, out);
    }
}

} // namespace platform::png
