#pragma once

#include "capture/scrolling/ScrollStitcherFingerprint.h"

#include <cstdint>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace capture::stitching {

// Sum of the absolute differences of two fingerprint rows.
inline std::uint32_t rowDifference(const std::uint8_t* a, const std::uint8_t* b) {
    static_assert(signatureColumns % 16 == 0);
#if defined(__SSE2__)
    __m128i sum = _mm_setzero_si128();
    for (int i = 0; i < signatureColumns; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        sum = _mm_add_epi64(sum, _mm_sad_epu8(x, y));
    }
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(sum)) +
           static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(sum, 8)));
#else
    std::uint32_t sum = 0;
    for (int i = 0; i < signatureColumns; ++i) {
        sum += static_cast<std::uint32_t>(a[i] > b[i] ? a[i] - b[i] : b[i] - a[i]);
    }
    return sum;
#endif
}

// A sum of row differences over `pairs` row pairs as a mean per sample.
inline double meanDifference(std::uint64_t sum, std::int64_t pairs) {
    double divisor = static_cast<double>(signatureColumns) * static_cast<double>(pairs);
    if (divisor < 1) {
        divisor = 1;
    }
    return static_cast<double>(sum) / divisor;
}

// Mean difference of rows [first, end) of two fingerprints against the same
// rows of the other.
double meanDifference(SignatureView a, SignatureView b, int first, int end);

// Rows from the top (or from the bottom) that did not change between two
// fingerprints: each counted row differs by at most 1.5 per sample on
// average; counting stops at the first row that differs more, or at `limit`.
int unchangedRowsFromTop(SignatureView previous, SignatureView next, int limit);
int unchangedRowsFromBottom(SignatureView previous, SignatureView next, int limit);

// How a search over rows [top, end) is carried out.
struct ShiftSearchPlan {
    int span = 0;           // rows searched
    int minimumOverlap = 0; // rows that must still overlap at the largest shift
    int largestShift = 0;   // below 1: there is nothing to search
    int rowStep = 1;        // the coarse pass compares every rowStep-th row

    static ShiftSearchPlan forRows(int top, int end);
};

// The shifts the fine pass scores around the coarse pass's best.
struct ShiftRange {
    int first = 0;
    int last = 0;
};
ShiftRange fineShifts(int coarseBest, int largestShift);

// The number of rows by which the content of rows [top, end) moved up from
// `previous` to `next`: the shift whose overlapping rows agree best, when it
// agrees well (mean difference below 4) and clearly better than not moving
// at all (below half of the unshifted difference). Nothing otherwise.
std::optional<int> findShift(SignatureView previous, SignatureView next, int top, int end);

} // namespace capture::stitching
