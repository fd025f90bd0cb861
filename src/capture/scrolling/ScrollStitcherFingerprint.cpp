#include "capture/scrolling/ScrollStitcherFingerprint.h"

#include "capture/scrolling/ScrollStitcherResample.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace capture::stitching {

namespace {

// Luma with the Rec. 601 weights in 8-bit fixed point (they add up to 256, so
// white stays 255).
constexpr std::uint32_t blueWeight = 29;
constexpr std::uint32_t greenWeight = 150;
constexpr std::uint32_t redWeight = 77;

std::int16_t luma(Pixel p) {
    return static_cast<std::int16_t>((redWeight * ((p >> 16) & 0xff) +
                                      greenWeight * ((p >> 8) & 0xff) + blueWeight * (p & 0xff) +
                                      128) >>
                                     8);
}

// The grey of `count` pixels; four at a time where SSE2 is there, with the
// same results as `luma`.
void lumaRow(const Pixel* in, std::int16_t* out, int count) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    // Per pixel: blue × 29 + green × 150 and red × 77 + alpha × 0.
    const __m128i weights = _mm_setr_epi16(blueWeight, greenWeight, redWeight, 0, blueWeight,
                                           greenWeight, redWeight, 0);
    const __m128i half = _mm_set1_epi32(128);
    for (; x + 4 <= count; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        const __m128i low = _mm_madd_epi16(_mm_unpacklo_epi8(pixels, zero), weights);
        const __m128i high = _mm_madd_epi16(_mm_unpackhi_epi8(pixels, zero), weights);
        const __m128 lowFloats = _mm_castsi128_ps(low);
        const __m128 highFloats = _mm_castsi128_ps(high);
        const __m128i even =
            _mm_castps_si128(_mm_shuffle_ps(lowFloats, highFloats, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i odd =
            _mm_castps_si128(_mm_shuffle_ps(lowFloats, highFloats, _MM_SHUFFLE(3, 1, 3, 1)));
        __m128i grey = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(even, odd), half), 8);
        // Four 32-bit values below 256 to four 16-bit ones.
        grey = _mm_packs_epi32(grey, grey);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), grey);
    }
#endif
    for (; x < count; ++x) {
        out[x] = luma(in[x]);
    }
}

// Sum of eight-sample groups of products; the values are grey levels and
// weights below 2^14, so no sum leaves 32 bits.
std::uint32_t weightedSum(const std::int16_t* values, const std::int16_t* weights, int groups) {
#if defined(__SSE2__)
    __m128i sum = _mm_setzero_si128();
    for (int g = 0; g < groups; ++g) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + 8 * g));
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8 * g));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(v, w));
    }
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 8));
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 4));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(sum));
#else
    std::uint32_t sum = 0;
    for (int i = 0; i < 8 * groups; ++i) {
        sum += static_cast<std::uint32_t>(values[i] * weights[i]);
    }
    return sum;
#endif
}

} // namespace

double Fingerprinter::coveredWidth(int width) {
    const double trim = std::min(width / 10.0, 40.0);
    return width - trim;
}

void Fingerprinter::prepare(int width) {
    const AreaWeights area(coveredWidth(width), signatureColumns);
    firstColumn_.assign(signatureColumns, 0);
    groups_.assign(signatureColumns, 0);
    weights_.clear();
    int end = 0;
    for (int i = 0; i < signatureColumns; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const int count = area.sourceCount(i);
        firstColumn_[index] = area.firstSource(i);
        groups_[index] = (count + 7) / 8;
        for (int k = 0; k < 8 * groups_[index]; ++k) {
            weights_.push_back(static_cast<std::int16_t>(k < count ? area.weights(i)[k] : 0));
        }
        end = std::max(end, area.firstSource(i) + 8 * groups_[index]);
    }
    used_ = area.sourceEnd();
    grey_.assign(static_cast<std::size_t>(end), 0);
    width_ = width;
}

bool Fingerprinter::make(PixelView frame, std::vector<std::uint8_t>& signature) {
    if (!frame.isValid() || frame.width < minimumWidth || frame.height < minimumHeight) {
        return false;
    }
    if (frame.width != width_) {
        prepare(frame.width);
    }
    signature.resize(static_cast<std::size_t>(frame.height) * signatureColumns);
    std::int16_t* grey = grey_.data();
    constexpr std::uint32_t half = AreaWeights::one / 2;
    for (int y = 0; y < frame.height; ++y) {
        lumaRow(frame.row(y), grey, used_);
        std::uint8_t* out = signature.data() + static_cast<std::size_t>(y) * signatureColumns;
        const std::int16_t* weights = weights_.data();
        for (int i = 0; i < signatureColumns; ++i) {
            const auto index = static_cast<std::size_t>(i);
            const std::uint32_t sum =
                weightedSum(grey + firstColumn_[index], weights, groups_[index]);
            weights += 8 * groups_[index];
            out[i] = static_cast<std::uint8_t>((sum + half) >> AreaWeights::shift);
        }
    }
    return true;
}

} // namespace capture::stitching
