#include "videoeditor/VideoEditorRules.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using videoeditor::ExportPlan;
using videoeditor::TrimRange;
using Format = app::Recording::Format;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::gray);
    return image;
}

TEST(FirstContentRect, FitsTheThumbnailIntoTheVisibleFrame) {
    struct Case {
        const char* name;
        QRectF visible;
        QImage thumbnail;
        double scale;
        QRectF expected;
    };
    const Case cases[] = {
        {"no thumbnail: 800 × 500 and the bar, centred", QRectF(0, 0, 1440, 875), QImage(), 2,
         QRectF(320, 159.5, 800, 556)},
        {"on a frame that is not at the origin", QRectF(100, 30, 1600, 900), QImage(), 1,
         QRectF(500, 202, 800, 556)},
        // s = min(1, 1008 / 1200, 568.75 / 750): the height decides.
        {"a large thumbnail shrinks", QRectF(0, 0, 1440, 875), picture(1200, 750), 1,
         QRectF(0, 0, 1200 * 568.75 / 750, 568.75 + 56)},
        {"the thumbnail's points, not its pixels", QRectF(0, 0, 1440, 875), picture(1200, 750), 2,
         QRectF(0, 0, 640, 431)},
        {"a tiny recording still opens at the minimum", QRectF(0, 0, 1440, 875), picture(40, 30), 1,
         QRectF(400, 227.5, 640, 420)},
        {"a tiny screen gives the minimum too", QRectF(0, 0, 600, 400), QImage(), 1,
         QRectF(-20, -10, 640, 420)},
    };
    for (const Case& c : cases) {
        const QRectF rect = videoeditor::firstContentRect(c.visible, c.thumbnail, c.scale);
        EXPECT_NEAR(c.expected.width(), rect.width(), 0.01) << c.name;
        EXPECT_NEAR(c.expected.height(), rect.height(), 0.01) << c.name;
        // Always centred on the visible frame.
        EXPECT_NEAR(c.visible.center().x(), rect.center().x(), 0.01) << c.name;
        EXPECT_NEAR(c.visible.center().y(), rect.center().y(), 0.01) << c.name;
    }
    const QRectF worked =
        videoeditor::firstContentRect(QRectF(0, 0, 1440, 875), picture(1200, 750), 1);
    EXPECT_NEAR(910, worked.width(), 0.01);
    EXPECT_NEAR(624.75, worked.height(), 0.01);
}

TEST(TrimmedText, ShowsTheLengthAndWhetherItWasTrimmed) {
    struct Case {
        TrimRange range;
        double recording;
        const char* expected;
    };
    const Case cases[] = {
        {{0, 14}, 14, "0:14"},
        {{2, 12}, 14, "0:12 (trimmed)"},
        {{0, 12}, 14, "0:12 (trimmed)"},
        {{0, 13.96}, 14, "0:13"},          // within 0.05 s: no suffix
        {{0.04, 13.96}, 14, "0:13"},       // the text looks at the length alone
        {{0, 13.9}, 14, "0:13 (trimmed)"}, // beyond it
        {{0, 75.5}, 75.5, "1:15"},
        {{0, nan}, 14, "0:14"}, // the player does not know the length yet
        {{nan, 3}, 14, "0:14"},
        {{0, infinity}, 125, "2:05"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QString::fromUtf8(c.expected), videoeditor::trimmedText(c.range, c.recording))
            << c.range.start << " + " << c.range.duration;
    }
}

TEST(BarState, FollowsBusyAudioFormatAndLength) {
    struct Case {
        std::optional<QString> busy;
        bool hasAudio;
        Format format;
        bool lengthKnown;
        bool enabled, trim, removeAudio;
    };
    const Case cases[] = {
        {std::nullopt, true, Format::video, true, true, true, true},
        {std::nullopt, false, Format::video, true, true, true, false}, // no sound
        {std::nullopt, true, Format::gif, true, true, true, false},    // GIF has no sound
        {std::nullopt, true, Format::video, false, true, false, true}, // length unknown
        {QStringLiteral("Exporting…"), true, Format::video, true, false, false, false},
        {QString(), true, Format::video, true, false, false, false}, // an empty text is busy too
    };
    for (const Case& c : cases) {
        const videoeditor::BarState state =
            videoeditor::barState(c.busy, c.hasAudio, c.format, c.lengthKnown);
        EXPECT_EQ(c.enabled, state.enabled);
        EXPECT_EQ(!c.enabled, state.showsBusy);
        EXPECT_EQ(c.trim, state.trimEnabled);
        EXPECT_EQ(c.removeAudio, state.removeAudioEnabled);
    }
}

TEST(ExportPlan, DecidesWhatToMake) {
    app::Recording recording;
    recording.duration = 14;
    recording.scale = 2;
    recording.thumbnail = picture(1200, 674);
    using Kind = ExportPlan::Kind;
    struct Case {
        const char* name;
        TrimRange range;
        Format format;
        bool removeAudio;
        Kind kind;
        bool hasRange;
    };
    const Case cases[] = {
        {"untrimmed video with sound: the recording itself",
         {0, 14},
         Format::video,
         false,
         Kind::source,
         false},
        {"within 0.05 s at the end still counts as untrimmed",
         {0, 13.96},
         Format::video,
         false,
         Kind::source,
         false},
        {"untrimmed without sound: the whole length again",
         {0, 14},
         Format::video,
         true,
         Kind::video,
         false},
        {"a range starting after 0 is exported",
         {0.01, 13.99},
         Format::video,
         false,
         Kind::video,
         true},
        {"a trimmed range", {2, 10}, Format::video, false, Kind::video, true},
        {"a range the player does not know is the whole recording",
         {0, nan},
         Format::video,
         false,
         Kind::source,
         false},
        {"…with its start unknown as well", {nan, nan}, Format::video, false, Kind::source, false},
        {"…and without sound the whole recording is exported",
         {nan, 5},
         Format::video,
         true,
         Kind::video,
         false},
        {"a GIF is always made", {0, 14}, Format::gif, false, Kind::gif, true},
        {"a GIF of a range", {2, 10}, Format::gif, true, Kind::gif, true},
        {"a GIF of a range not known is of the whole recording",
         {0, infinity},
         Format::gif,
         false,
         Kind::gif,
         false},
    };
    for (const Case& c : cases) {
        const ExportPlan plan =
            videoeditor::planExport(c.range, recording, c.format, c.removeAudio, 10, 800);
        EXPECT_EQ(c.kind, plan.kind) << c.name;
        EXPECT_EQ(c.hasRange, plan.range.has_value()) << c.name;
        if (plan.range) {
            EXPECT_EQ(c.range.start, plan.range->start) << c.name;
            EXPECT_EQ(c.range.duration, plan.range->duration) << c.name;
        }
        if (c.kind == Kind::video) {
            EXPECT_EQ(c.removeAudio, plan.removeAudio) << c.name;
        }
        if (c.kind == Kind::gif) {
            EXPECT_EQ(10, plan.gifFPS) << c.name;
            EXPECT_EQ(600, plan.gifMaxWidth) << c.name;
        }
    }
}

TEST(ExportPlan, GifWidthLimitAndPosterTime) {
    app::Recording recording;
    EXPECT_EQ(1000, videoeditor::gifWidthLimit(recording, 1000)); // no thumbnail
    EXPECT_EQ(700, videoeditor::gifWidthLimit(recording, 700));
    recording.thumbnail = picture(1200, 600);
    recording.scale = 2;
    EXPECT_EQ(600, videoeditor::gifWidthLimit(recording, 800));
    EXPECT_EQ(500, videoeditor::gifWidthLimit(recording, 500));

    const std::pair<double, double> posters[] = {{10, 0.1}, {0.2, 0.1}, {0.1, 0.05},
                                                 {0, 0},    {-1, 0},    {nan, 0}};
    for (const auto& [duration, at] : posters) {
        EXPECT_DOUBLE_EQ(at, videoeditor::posterTime(duration)) << duration;
    }
}

} // namespace
