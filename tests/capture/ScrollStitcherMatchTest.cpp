#include "capture/scrolling/ScrollStitcherMatch.h"
#include "capture/scrolling/ScrollStitcherFingerprint.h"

#include "ScrollStitcherFrames.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace capture::stitching;

namespace {

PixelView viewOf(const QImage& image) {
    return {image.constBits(), image.width(), image.height(), image.bytesPerLine()};
}

std::vector<std::uint8_t> fingerprint(const QImage& image) {
    Fingerprinter fingerprinter;
    std::vector<std::uint8_t> signature;
    EXPECT_TRUE(fingerprinter.make(viewOf(image), signature));
    return signature;
}

QImage withColumnInverted(QImage image, int column) {
    for (int y = 0; y < image.height(); ++y) {
        image.setPixel(column, y, ~image.pixel(column, y) | 0xff000000u);
    }
    return image;
}

// ---------------------------------------------------------------------------
// Fingerprints leave out the right edge: min(W / 10, 40) pixel columns.

struct EdgeCase {
    std::string name;
    int width;
    int firstLeftOut;

    friend void PrintTo(const EdgeCase& c, std::ostream* out) { *out << c.name; }
};

class FingerprintEdgeTest : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(FingerprintEdgeTest, RightEdgeIsLeftOut) {
    const EdgeCase& c = GetParam();
    EXPECT_DOUBLE_EQ(Fingerprinter::coveredWidth(c.width), c.firstLeftOut);
    const QImage frame = stitchtest::noise(c.width, 20, 4);
    const std::vector<std::uint8_t> plain = fingerprint(frame);
    ASSERT_EQ(plain.size(), 20u * signatureColumns);

    for (int column = c.firstLeftOut; column < c.width; ++column) {
        EXPECT_EQ(fingerprint(withColumnInverted(frame, column)), plain) << "column " << column;
    }
    EXPECT_NE(fingerprint(withColumnInverted(frame, c.firstLeftOut - 1)), plain);
    EXPECT_NE(fingerprint(withColumnInverted(frame, 0)), plain);
}

INSTANTIATE_TEST_SUITE_P(Widths, FingerprintEdgeTest,
                         ::testing::Values(
                             // Drawn 100 samples wide: the last 40 columns fall outside.
                             EdgeCase{"Wide", 1000, 960},
                             // Drawn 96 × 200 / 180 ≈ 106.7 samples wide.
                             EdgeCase{"Narrow", 200, 180}),
                         [](const auto& info) { return info.param.name; });

// Each row is grey luma, averaged across: a flat row gives flat samples.
TEST(FingerprintTest, FlatColoursGiveTheirLuma) {
    struct Colour {
        QRgb rgb;
        int grey;
    };
    for (const Colour& c : {Colour{0xff000000, 0}, Colour{0xffffffff, 255}, Colour{0xffc86432, 124},
                            Colour{0xff00ff00, 149}}) {
        for (int width : {8, 97, 333, 1920}) {
            QImage image(width, 16, QImage::Format_RGB32);
            image.fill(c.rgb);
            EXPECT_EQ(fingerprint(image), std::vector<std::uint8_t>(16u * signatureColumns, c.grey))
                << std::hex << c.rgb << std::dec << " at width " << width;
        }
    }
}

// Rows keep their full resolution.
TEST(FingerprintTest, RowsAreFingerprintedOneByOne) {
    QImage image(50, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 50; ++x) {
            image.setPixel(x, y, qRgb(y * 16, y * 16, y * 16));
        }
    }
    const std::vector<std::uint8_t> signature = fingerprint(image);
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(signature[static_cast<std::size_t>(y) * signatureColumns + 50], y * 16);
    }
}

TEST(FingerprintTest, TooSmallFramesHaveNone) {
    Fingerprinter fingerprinter;
    std::vector<std::uint8_t> signature{1, 2, 3};
    EXPECT_FALSE(fingerprinter.make(viewOf(stitchtest::noise(7, 100, 1)), signature));
    EXPECT_FALSE(fingerprinter.make(viewOf(stitchtest::noise(100, 15, 1)), signature));
    EXPECT_FALSE(fingerprinter.make(PixelView{}, signature));
    EXPECT_EQ(signature, (std::vector<std::uint8_t>{1, 2, 3}));
}

// ---------------------------------------------------------------------------
// The shift search.

struct PlanCase {
    int span;
    ShiftSearchPlan expected;
};

TEST(ShiftSearchTest, PlanFollowsTheSpan) {
    const PlanCase cases[] = {
        {12, {12, 8, 4, 1}},       {31, {31, 8, 23, 1}},         {32, {32, 8, 24, 1}},
        {240, {240, 60, 180, 1}},  {241, {241, 60, 181, 2}},     {600, {600, 150, 450, 2}},
        {601, {601, 150, 451, 3}}, {2160, {2160, 540, 1620, 3}},
    };
    for (const PlanCase& c : cases) {
        const ShiftSearchPlan plan = ShiftSearchPlan::forRows(10, 10 + c.span);
        EXPECT_EQ(plan.span, c.expected.span);
        EXPECT_EQ(plan.minimumOverlap, c.expected.minimumOverlap) << "span " << c.span;
        EXPECT_EQ(plan.largestShift, c.expected.largestShift) << "span " << c.span;
        EXPECT_EQ(plan.rowStep, c.expected.rowStep) << "span " << c.span;
    }
}

TEST(ShiftSearchTest, FinePassLooksTwoRowsEitherSide) {
    struct Case {
        int coarse;
        int largest;
        int first;
        int last;
    };
    for (const Case& c : {Case{40, 450, 38, 42}, Case{1, 450, 1, 3}, Case{2, 450, 1, 4},
                          Case{3, 450, 1, 5}, Case{449, 450, 447, 450}, Case{4, 4, 2, 4}}) {
        const ShiftRange range = fineShifts(c.coarse, c.largest);
        EXPECT_EQ(range.first, c.first) << "coarse " << c.coarse;
        EXPECT_EQ(range.last, c.last) << "coarse " << c.coarse;
    }
}

// Fingerprints built row by row: random rows between 20 and 200.
std::vector<std::uint8_t> randomRows(int rows, std::uint32_t seed) {
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(rows) * signatureColumns);
    std::uint32_t state = seed;
    for (auto& sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<std::uint8_t>(20 + (state >> 24) % 181);
    }
    return samples;
}

// `previous` moved up by `shift` rows, with `added` added to the first
// `changedSamples` samples of every row.
std::vector<std::uint8_t> moved(const std::vector<std::uint8_t>& previous, int rows, int shift,
                                int added, int changedSamples) {
    std::vector<std::uint8_t> next = randomRows(rows, 77);
    for (int y = 0; y + shift < rows; ++y) {
        for (int i = 0; i < signatureColumns; ++i) {
            const auto from = static_cast<std::size_t>(y + shift) * signatureColumns + i;
            next[static_cast<std::size_t>(y) * signatureColumns + i] =
                static_cast<std::uint8_t>(previous[from] + (i < changedSamples ? added : 0));
        }
    }
    return next;
}

std::optional<int> search(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b,
                          int rows) {
    return findShift({a.data(), rows}, {b.data(), rows}, 0, rows);
}

TEST(ShiftSearchTest, AcceptsOnlyAScoreBelowFour) {
    const int rows = 300;
    const std::vector<std::uint8_t> previous = randomRows(rows, 1);
    // A mean difference of exactly 4 per sample is too much; 4 × 95 / 96 is
    // not.
    EXPECT_EQ(search(previous, moved(previous, rows, 37, 4, 96), rows), std::nullopt);
    EXPECT_EQ(search(previous, moved(previous, rows, 37, 4, 95), rows), 37);
    EXPECT_EQ(search(previous, moved(previous, rows, 37, 0, 0), rows), 37);
}

// A row pattern that repeats every two rows and gets brighter by 1 matches
// itself unmoved as well as anything moved: no shift.
TEST(ShiftSearchTest, RefusesAShiftNotClearlyBetterThanNone) {
    const int rows = 100;
    std::vector<std::uint8_t> previous(static_cast<std::size_t>(rows) * signatureColumns);
    std::vector<std::uint8_t> next(previous.size());
    for (int y = 0; y < rows; ++y) {
        for (int i = 0; i < signatureColumns; ++i) {
            const auto at = static_cast<std::size_t>(y) * signatureColumns + i;
            previous[at] = y % 2 ? 103 : 100;
            next[at] = static_cast<std::uint8_t>(previous[at] + 1);
        }
    }
    EXPECT_EQ(search(previous, next, rows), std::nullopt);
}

// Equal scores keep the smaller shift: content repeating every 10 rows that
// moved by 5 matches as well at 15, 25 and so on.
TEST(ShiftSearchTest, TiesGoToTheSmallerShift) {
    const int rows = 120;
    const std::vector<std::uint8_t> block = randomRows(10, 3);
    std::vector<std::uint8_t> previous;
    std::vector<std::uint8_t> next;
    for (int y = 0; y < rows; ++y) {
        const auto row = [&](int r) { return block.begin() + (r % 10) * signatureColumns; };
        previous.insert(previous.end(), row(y), row(y) + signatureColumns);
        next.insert(next.end(), row(y + 5), row(y + 5) + signatureColumns);
    }
    EXPECT_EQ(search(previous, next, rows), 5);
}

// Only rows [top, end) are compared: what lies outside may differ freely.
TEST(ShiftSearchTest, SearchesOnlyBetweenTopAndEnd) {
    const int rows = 200;
    const std::vector<std::uint8_t> previous = randomRows(rows, 5);
    std::vector<std::uint8_t> next = moved(previous, rows, 12, 0, 0);
    const std::vector<std::uint8_t> other = randomRows(rows, 6);
    const auto band = [](int row) { return static_cast<std::ptrdiff_t>(row) * signatureColumns; };
    std::copy(other.begin(), other.begin() + band(30), next.begin());
    std::copy(other.begin() + band(170), other.end(), next.begin() + band(170));
    EXPECT_EQ(findShift({previous.data(), rows}, {next.data(), rows}, 30, 170), 12);
    EXPECT_EQ(findShift({previous.data(), rows}, {next.data(), rows}, 0, 200), std::nullopt);
}

TEST(ShiftSearchTest, UnchangedRowsStopAtTheFirstChangeOrTheLimit) {
    const int rows = 30;
    const std::vector<std::uint8_t> previous = randomRows(rows, 8);
    std::vector<std::uint8_t> next = previous;
    // Row 5 differs by 1.5 per sample (still unchanged), row 6 by more.
    for (int i = 0; i < signatureColumns; ++i) {
        next[5 * signatureColumns + i] =
            static_cast<std::uint8_t>(next[5 * signatureColumns + i] + (i % 2 ? 2 : 1));
        next[6 * signatureColumns + i] =
            static_cast<std::uint8_t>(next[6 * signatureColumns + i] + 2);
        next[20 * signatureColumns + i] =
            static_cast<std::uint8_t>(next[20 * signatureColumns + i] + 2);
    }
    const SignatureView a{previous.data(), rows};
    const SignatureView b{next.data(), rows};
    EXPECT_EQ(unchangedRowsFromTop(a, b, 10), 6);
    EXPECT_EQ(unchangedRowsFromTop(a, b, 4), 4);
    EXPECT_EQ(unchangedRowsFromBottom(a, b, 10), 9);
    EXPECT_EQ(unchangedRowsFromBottom(a, b, 20), 9);
    EXPECT_DOUBLE_EQ(meanDifference(a, b, 5, 7), (144 + 192) / 192.0);
}

} // namespace
