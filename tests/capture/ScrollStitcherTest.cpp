#include "capture/scrolling/ScrollStitcher.h"

#include "ScrollStitcherFrames.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using capture::ScrollStitcher;
using AddResult = ScrollStitcher::AddResult;
using Code = ScrollStitcher::Code;
using stitchtest::Region;
using stitchtest::samePixels;

namespace {

Region makeRegion(int width, int frameHeight, int header, int footer, int pageHeight) {
    Region region;
    region.page = stitchtest::noise(width, pageHeight, 1);
    if (header > 0) {
        region.header = stitchtest::noise(width, header, 2);
    }
    if (footer > 0) {
        region.footer = stitchtest::noise(width, footer, 3);
    }
    region.frameHeight = frameHeight;
    return region;
}

// ---------------------------------------------------------------------------
// Whole captures: each frame's result, then the composed picture against the
// page it was cut from.

struct Step {
    int offset;
    AddResult expected;
};

struct StitchCase {
    std::string name;
    int width;
    int frameHeight;
    int header;
    int footer;
    std::vector<Step> steps;

    friend void PrintTo(const StitchCase& c, std::ostream* out) { *out << c.name; }
};

class StitchTest : public ::testing::TestWithParam<StitchCase> {};

TEST_P(StitchTest, ComposesThePageBetweenHeaderAndFooter) {
    const StitchCase& c = GetParam();
    int lastOffset = 0;
    for (const Step& step : c.steps) {
        lastOffset = std::max(lastOffset, step.offset);
    }
    const Region region =
        makeRegion(c.width, c.frameHeight, c.header, c.footer, lastOffset + c.frameHeight);

    ScrollStitcher stitcher;
    int accepted = c.steps.front().offset;
    for (const Step& step : c.steps) {
        EXPECT_EQ(stitcher.add(region.frame(step.offset)), step.expected)
            << "frame at offset " << step.offset;
        if (step.expected.isAppended()) {
            accepted = step.offset;
        }
    }

    const QImage expected = region.stitched(c.steps.front().offset, accepted);
    EXPECT_EQ(stitcher.height(), expected.height());
    EXPECT_EQ(stitcher.lockedFooter(), c.footer);
    EXPECT_TRUE(samePixels(stitcher.compose(1), expected));
}

const AddResult started = Code::started;
const AddResult nothingNew = Code::nothingNew;
const AddResult lostTrack = Code::lostTrack;
AddResult appended(int rows) {
    return AddResult::appended(rows);
}

INSTANTIATE_TEST_SUITE_P(
    Captures, StitchTest,
    ::testing::Values(
        // 600 rows without fixed rows: overlap at least 150, shifts up to 450,
        // every second row in the coarse pass.
        StitchCase{"SteadyScrollWithoutFixedRows",
                   320,
                   600,
                   0,
                   0,
                   {{0, started},
                    {40, appended(40)},
                    {80, appended(40)},
                    {120, appended(40)},
                    {160, appended(40)},
                    {200, appended(40)}}},
        // Band of 230 rows: shifts from 1 up to the largest, 173.
        StitchCase{"HeaderAndFooterStayOnce",
                   300,
                   300,
                   40,
                   30,
                   {{0, started},
                    {25, appended(25)},
                    {70, appended(45)},
                    {71, appended(1)},
                    {150, appended(79)},
                    {323, appended(173)}}},
        StitchCase{"PausesAndScrollingBackAddNothing",
                   256,
                   200,
                   20,
                   0,
                   {{0, started},
                    {0, nothingNew},
                    {30, appended(30)},
                    {10, lostTrack},
                    {30, nothingNew},
                    {60, appended(30)}}},
        StitchCase{"NarrowestFrames",
                   8,
                   64,
                   0,
                   0,
                   {{0, started}, {5, appended(5)}, {12, appended(7)}, {30, appended(18)}}},
        StitchCase{"WideFrames",
                   1000,
                   120,
                   10,
                   12,
                   {{0, started}, {33, appended(33)}, {70, appended(37)}}},
        // Over 600 rows the coarse pass compares every third row.
        StitchCase{"TallRegion",
                   200,
                   700,
                   0,
                   0,
                   {{0, started},
                    {100, appended(100)},
                    {101, appended(1)},
                    {350, appended(249)},
                    {352, appended(2)}}},
        StitchCase{"StartsMidPage",
                   160,
                   160,
                   16,
                   16,
                   {{500, started}, {530, appended(30)}, {531, appended(1)}}}),
    [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// One frame after the first: what it gives, and that the frame after it is
// still measured against the first (a refused frame never becomes `last`).

struct SecondFrameCase {
    std::string name;
    std::function<QImage(const Region&)> frame;
    AddResult expected;

    friend void PrintTo(const SecondFrameCase& c, std::ostream* out) { *out << c.name; }
};

class SecondFrameTest : public ::testing::TestWithParam<SecondFrameCase> {};

TEST_P(SecondFrameTest, RefusedFramesLeaveTheStitchAsItWas) {
    const SecondFrameCase& c = GetParam();
    const Region region = makeRegion(240, 200, 0, 0, 1000);
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(region.frame(0)), started);

    EXPECT_EQ(stitcher.add(c.frame(region)), c.expected);
    if (c.expected.isAppended()) {
        return;
    }
    EXPECT_EQ(stitcher.height(), 200);
    EXPECT_TRUE(samePixels(stitcher.compose(1), region.frame(0)));

    EXPECT_EQ(stitcher.add(region.frame(40)), appended(40));
    EXPECT_TRUE(samePixels(stitcher.compose(1), region.stitched(0, 40)));
}

QImage withPixel(QImage image, int x, int y) {
    image.setPixel(x, y, ~image.pixel(x, y) | 0xff000000u);
    return image;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SecondFrameTest,
    ::testing::Values(
        SecondFrameCase{"Identical", [](const Region& r) { return r.frame(0); }, nothingNew},
        SecondFrameCase{"OnePixelChanged",
                        [](const Region& r) { return withPixel(r.frame(0), 100, 100); },
                        nothingNew},
        SecondFrameCase{"OtherHeight",
                        [](const Region& r) { return stitchtest::rows(r.frame(40), 0, 199); },
                        lostTrack},
        SecondFrameCase{"OtherWidth",
                        [](const Region& r) { return r.frame(40).copy(0, 0, 239, 200); },
                        lostTrack},
        SecondFrameCase{"SevenPixelsWide",
                        [](const Region& r) { return r.frame(40).copy(0, 0, 7, 200); }, lostTrack},
        SecondFrameCase{"FifteenPixelsHigh",
                        [](const Region& r) { return stitchtest::rows(r.frame(40), 0, 15); },
                        lostTrack},
        SecondFrameCase{"NoPicture", [](const Region&) { return QImage(); }, lostTrack},
        SecondFrameCase{"UnrelatedContent",
                        [](const Region&) { return stitchtest::noise(240, 200, 99); }, lostTrack},
        // 200 rows: at least 50 must overlap, so 150 is the largest shift.
        SecondFrameCase{"ScrolledByTheLargestShift", [](const Region& r) { return r.frame(150); },
                        appended(150)},
        SecondFrameCase{"ScrolledTooFar", [](const Region& r) { return r.frame(151); }, lostTrack}),
    [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Header and footer rows take at most a third of the frame each; a band of 11
// rows or fewer between them is not searched.

struct BandCase {
    std::string name;
    int frameHeight;
    int changedFrom; // rows [changedFrom, changedTo) of the second frame change
    int changedTo;
    AddResult expected;

    friend void PrintTo(const BandCase& c, std::ostream* out) { *out << c.name; }
};

class BandTest : public ::testing::TestWithParam<BandCase> {};

TEST_P(BandTest, ChangedBandBetweenStillRows) {
    const BandCase& c = GetParam();
    const Region region = makeRegion(240, c.frameHeight, 0, 0, 400);
    const QImage first = region.frame(0);
    const QImage changed =
        stitchtest::stacked({stitchtest::rows(first, 0, c.changedFrom),
                             stitchtest::noise(240, c.changedTo - c.changedFrom, 7),
                             stitchtest::rows(first, c.changedTo, c.frameHeight - c.changedTo)});

    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(first), started);
    EXPECT_EQ(stitcher.add(changed), c.expected);

    // Measured against the first frame, not the changed one.
    EXPECT_EQ(stitcher.add(region.frame(2)), appended(2));
    EXPECT_TRUE(samePixels(stitcher.compose(1), region.stitched(0, 2)));
}

INSTANTIATE_TEST_SUITE_P(Bands, BandTest,
                         ::testing::Values(
                             // 33 rows: header and footer up to 11 each.
                             BandCase{"ElevenRows", 33, 11, 22, nothingNew},
                             BandCase{"TwelveRows", 33, 10, 22, lostTrack},
                             // 24 rows: header and footer up to 8, so the
                             // band is 8 although only 3 rows changed.
                             BandCase{"CappedStillRows", 24, 10, 13, nothingNew},
                             BandCase{"ThirtySixRows", 36, 12, 23, lostTrack}),
                         [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------

struct FirstFrameCase {
    std::string name;
    int width;
    int height;
    AddResult expected;

    friend void PrintTo(const FirstFrameCase& c, std::ostream* out) { *out << c.name; }
};

class FirstFrameTest : public ::testing::TestWithParam<FirstFrameCase> {};

TEST_P(FirstFrameTest, OnlyAUsableFrameStarts) {
    const FirstFrameCase& c = GetParam();
    const QImage frame = stitchtest::noise(c.width, c.height, 5);
    ScrollStitcher stitcher;
    EXPECT_EQ(stitcher.add(frame), c.expected);
    if (c.expected == started) {
        EXPECT_EQ(stitcher.height(), c.height);
        EXPECT_EQ(stitcher.firstWidth(), c.width);
        EXPECT_TRUE(samePixels(stitcher.compose(1), frame));
    } else {
        EXPECT_EQ(stitcher.height(), 0);
        EXPECT_EQ(stitcher.firstWidth(), 0);
        EXPECT_TRUE(stitcher.compose(1).isNull());
        EXPECT_TRUE(stitcher.preview().isNull());
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FirstFrameTest,
                         ::testing::Values(FirstFrameCase{"SevenWide", 7, 100, lostTrack},
                                           FirstFrameCase{"FifteenHigh", 100, 15, lostTrack},
                                           FirstFrameCase{"Smallest", 8, 16, started}),
                         [](const auto& info) { return info.param.name; });

TEST(ScrollStitcherTest, NothingToComposeBeforeTheFirstFrame) {
    ScrollStitcher stitcher;
    EXPECT_TRUE(stitcher.compose(1).isNull());
    EXPECT_TRUE(stitcher.preview().isNull());
    EXPECT_EQ(stitcher.add(QImage()), lostTrack);
}

// Frames in other formats are read as what they show.
TEST(ScrollStitcherTest, ConvertsOtherFormats) {
    const Region region = makeRegion(120, 100, 0, 0, 200);
    ScrollStitcher stitcher;
    EXPECT_EQ(stitcher.add(region.frame(0).convertToFormat(QImage::Format_RGB888)), started);
    EXPECT_EQ(stitcher.add(region.frame(20).convertToFormat(QImage::Format_RGB32)), appended(20));
    EXPECT_TRUE(samePixels(stitcher.compose(1), region.stitched(0, 20)));
}

// Screen frames carry no alpha: whatever their fourth byte holds, the
// stitched picture is opaque.
TEST(ScrollStitcherTest, StitchedPictureIsOpaque) {
    const Region region = makeRegion(64, 64, 0, 0, 200);
    ScrollStitcher stitcher;
    for (int offset : {0, 10}) {
        QImage frame = region.frame(offset);
        for (int y = 0; y < frame.height(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(frame.scanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                row[x] &= 0x00ffffffu;
            }
        }
        stitcher.add(capture::stitching::PixelView{frame.constBits(), frame.width(), frame.height(),
                                                   frame.bytesPerLine()});
    }
    EXPECT_TRUE(samePixels(stitcher.compose(1), region.stitched(0, 10)));
}

// ---------------------------------------------------------------------------

// The footer is fixed by the first placed frame; the picture ends with the
// footer of the newest accepted frame, and the first frame gives only its
// rows above its own footer.
TEST(ScrollStitcherTest, FooterIsLockedAtTheFirstMatchAndTakenFromTheLastFrame) {
    const Region region = makeRegion(240, 300, 0, 30, 600);
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(region.frame(0)), started);
    EXPECT_EQ(stitcher.lockedFooter(), std::nullopt);
    EXPECT_TRUE(samePixels(stitcher.compose(1), region.frame(0)));

    ASSERT_EQ(stitcher.add(region.frame(40)), appended(40));
    EXPECT_EQ(stitcher.lockedFooter(), 30);

    // A status line in the footer changes: only its bottom 15 rows stand
    // still now, but the cut keeps to the locked 30.
    const QImage newFooter =
        stitchtest::stacked({stitchtest::rows(region.footer, 0, 10), stitchtest::noise(240, 5, 11),
                             stitchtest::rows(region.footer, 15, 15)});
    EXPECT_EQ(stitcher.add(region.frame(90, newFooter)), appended(50));
    EXPECT_EQ(stitcher.lockedFooter(), 30);
    EXPECT_TRUE(samePixels(stitcher.compose(1), region.stitched(0, 90, newFooter)));

    // A refused frame does not lend its footer.
    EXPECT_EQ(stitcher.add(stitchtest::noise(240, 300, 13)), lostTrack);
    EXPECT_TRUE(samePixels(stitcher.compose(1), region.stitched(0, 90, newFooter)));
}

// 10 rows below the limit a frame bringing 20 rows is refused and changes
// nothing; one bringing exactly 10 is appended.
TEST(ScrollStitcherTest, StopsAtExactlyTheHeightLimit) {
    const int frameHeight = 400;
    const Region region =
        makeRegion(64, frameHeight, 0, 0, ScrollStitcher::maxHeight + 2 * frameHeight);
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(region.frame(0)), started);
    int offset = 0;
    const int target = ScrollStitcher::maxHeight - 10 - frameHeight;
    while (offset < target) {
        const int shift = std::min(250, target - offset);
        ASSERT_EQ(stitcher.add(region.frame(offset + shift)), appended(shift));
        offset += shift;
    }
    ASSERT_EQ(stitcher.height(), ScrollStitcher::maxHeight - 10);

    EXPECT_EQ(stitcher.add(region.frame(offset + 20)), Code::heightLimit);
    EXPECT_EQ(stitcher.height(), ScrollStitcher::maxHeight - 10);

    EXPECT_EQ(stitcher.add(region.frame(offset + 10)), appended(10));
    EXPECT_EQ(stitcher.height(), ScrollStitcher::maxHeight);
    EXPECT_EQ(stitcher.add(region.frame(offset + 11)), Code::heightLimit);

    const QImage composed = stitcher.compose(1);
    EXPECT_EQ(composed.height(), ScrollStitcher::maxHeight);
    EXPECT_TRUE(samePixels(composed, stitchtest::rows(region.page, 0, ScrollStitcher::maxHeight)));
}

// ---------------------------------------------------------------------------
// Drawing at other scales.

// Every piece is scaled on its own, its height rounded half away from zero.
TEST(ScrollStitcherTest, ScaledPiecesRoundTheirOwnHeights) {
    // Pieces: first frame above the footer 270 rows, slices of 41 and 25,
    // footer 30.
    const Region region = makeRegion(301, 300, 0, 30, 600);
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(region.frame(0)), started);
    ASSERT_EQ(stitcher.add(region.frame(41)), appended(41));
    ASSERT_EQ(stitcher.add(region.frame(66)), appended(25));

    const QImage half = stitcher.compose(0.5);
    EXPECT_EQ(half.width(), 151);
    EXPECT_EQ(half.height(), 135 + 21 + 13 + 15);
    const QImage tiny = stitcher.compose(0.001);
    EXPECT_EQ(tiny.width(), 1);
    EXPECT_EQ(tiny.height(), 4);
    EXPECT_TRUE(stitcher.compose(0).isNull());
    EXPECT_TRUE(stitcher.compose(-1).isNull());
}

// Enlarging repeats pixels; halving averages each 2 × 2 block.
TEST(ScrollStitcherTest, EnlargesByRepeatingAndShrinksByAveraging) {
    const Region region = makeRegion(64, 60, 0, 10, 300);
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(region.frame(0)), started);
    ASSERT_EQ(stitcher.add(region.frame(20)), appended(20));
    ASSERT_EQ(stitcher.add(region.frame(26)), appended(6));
    const QImage full = stitcher.compose(1);

    const QImage doubled = stitcher.compose(2);
    ASSERT_EQ(doubled.size(), full.size() * 2);
    EXPECT_TRUE(samePixels(doubled, full.scaled(full.size() * 2)));

    // All pieces have even heights, so each output pixel is one block.
    const QImage halved = stitcher.compose(0.5);
    ASSERT_EQ(halved.size(), full.size() / 2);
    QImage expected(halved.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            std::uint32_t pixel = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                std::uint32_t sum = 2;
                for (int j = 0; j < 4; ++j) {
                    sum += (full.pixel(2 * x + j % 2, 2 * y + j / 2) >> shift) & 0xff;
                }
                pixel |= (sum / 4) << shift;
            }
            expected.setPixel(x, y, pixel);
        }
    }
    EXPECT_TRUE(samePixels(halved, expected));
}

struct PreviewCase {
    std::string name;
    int width;
    int expectedWidth;

    friend void PrintTo(const PreviewCase& c, std::ostream* out) { *out << c.name; }
};

class PreviewTest : public ::testing::TestWithParam<PreviewCase> {};

// The preview is the stitch at min(132 / width, 1), the same after every
// frame as drawing it afresh.
TEST_P(PreviewTest, IsTheStitchAtMostPreviewWidthWide) {
    const PreviewCase& c = GetParam();
    const Region region = makeRegion(c.width, 120, 8, 20, 600);
    const double scale = std::min(ScrollStitcher::previewWidth / c.width, 1.0);
    ScrollStitcher stitcher;
    for (int offset : {0, 0, 17, 30, 31, 90, 140, 141}) {
        stitcher.add(region.frame(offset));
        const QImage preview = stitcher.preview();
        EXPECT_EQ(preview.width(), c.expectedWidth);
        EXPECT_TRUE(samePixels(preview, stitcher.compose(scale))) << "after offset " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, PreviewTest,
                         ::testing::Values(PreviewCase{"Wide", 1320, 132},
                                           PreviewCase{"Odd", 1001, 132},
                                           PreviewCase{"Narrow", 100, 100}),
                         [](const auto& info) { return info.param.name; });

} // namespace
