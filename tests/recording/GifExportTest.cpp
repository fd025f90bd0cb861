#include "recording/GifExport.h"

#include "platform/GifInfo.h"
#include "support/MovieClips.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

TEST(GifSampleTimes, StepsFromTheStartToJustBeforeTheEnd) {
    struct Case {
        double start;
        double end;
        int fps;
        std::vector<double> expected; // empty: check count and ends only
        std::size_t count;
        double last;
    };
    const Case cases[] = {
        // 0.1 added up lands on 1/600 s steps, never on the end itself.
        {0, 2.0, 10, {}, 20, 1.9},
        {0, 1.0, 10, {}, 10, 0.9},
        {0, 2.0, 0, {0, 1}, 2, 1}, // a rate of 0 counts as 1
        {0, 2.0, -5, {0, 1}, 2, 1},
        {1.5, 1.5, 10, {1.5}, 1, 1.5}, // an empty range: its start alone
        {0, 0.00005, 10, {0}, 1, 0},   // shorter than the margin
        {0, 1.0, 3, {0, 0.3333333333333333, 0.6666666666666666}, 3, 0.6666666666666666},
        {2, 2.35, 10, {2, 2.1, 2.2, 2.3}, 4, 2.3},
    };
    for (const Case& c : cases) {
        const std::vector<double> times = recording::gifSampleTimes(c.start, c.end, c.fps);
        ASSERT_EQ(c.count, times.size()) << c.start << "–" << c.end << " at " << c.fps;
        EXPECT_NEAR(c.last, times.back(), 1e-9);
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_NEAR(c.expected[i], times[i], 1e-9) << i;
        }
    }
    // The eleventh frame of a 10 fps GIF is exactly at 1 s, not a hair
    // before, so it shows the movie's frame that starts there.
    EXPECT_EQ(1.0, recording::gifSampleTimes(0, 2, 10)[10]);
}

TEST(GifFrames, DelayAndSize) {
    const std::pair<int, int> delays[] = {{10, 10}, {15, 7},   {30, 3}, {0, 100},
                                          {1, 100}, {-3, 100}, {200, 1}};
    for (const auto& [fps, centiseconds] : delays) {
        EXPECT_EQ(centiseconds, recording::gifDelayCentiseconds(fps)) << fps;
    }
    struct Size {
        QSize movie;
        double maxWidth;
        QSize expected;
    };
    const Size sizes[] = {
        {{640, 360}, 320, {320, 180}},    {{3000, 1000}, 800, {800, 267}}, // the height rounded
        {{100, 50}, 320, {100, 50}},                                       // never enlarged
        {{100, 1000}, 50, {20, 200}}, // at most four widths high
        {{1001, 999}, 1000, {1000, 998}}, {{640, 360}, 0, {1, 1}},
    };
    for (const Size& s : sizes) {
        EXPECT_EQ(s.expected, recording::gifFrameSize(s.movie, s.maxWidth))
            << s.movie.width() << "x" << s.movie.height() << " in " << s.maxWidth;
    }
}

TEST(GifFrames, DelaysAddUpToTheStretchsLength) {
    struct Case {
        double start;
        double end;
        int fps;
        std::vector<int> first; // the first delays
        int total;              // hundredths
    };
    const Case cases[] = {
        {0, 5, 15, {7, 6, 7, 7, 6, 7}, 500}, // not 75 × 7 = 5.25 s
        {0, 2, 10, {10, 10, 10}, 200},
        {1.5, 2.5, 4, {25, 25, 25, 25}, 100},
        {0, 1, 30, {3, 4, 3, 3, 4, 3}, 100},
        {0, 0.5, 1, {50}, 50},       // one frame, as long as the stretch
        {2, 2, 10, {1}, 1},          // an empty stretch still shows its frame
        {0, 1, 250, {1, 1, 1}, 250}, // never 0, which viewers play as a tenth
    };
    for (const Case& c : cases) {
        const std::vector<int> delays =
            recording::gifFrameDelays(recording::gifSampleTimes(c.start, c.end, c.fps), c.end);
        ASSERT_GE(delays.size(), c.first.size()) << c.fps;
        EXPECT_EQ(c.first, std::vector<int>(delays.begin(), delays.begin() + c.first.size()))
            << c.start << "–" << c.end << " at " << c.fps;
        EXPECT_EQ(c.total, std::accumulate(delays.begin(), delays.end(), 0)) << c.fps;
    }
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

class GifExport : public testing::Test {
protected:
    testsupport::TempDir dir;
    const QString movie = dir.file(QStringLiteral("movie.mp4"));
    const QString gif = dir.file(QStringLiteral("out/clip.gif"));
    GifExport() { QDir().mkpath(dir.file(QStringLiteral("out"))); }
};

TEST_F(GifExport, TwoSecondsAtTenFramesASecond) {
    // Red for a second, then blue, at 640×360.
    ASSERT_TRUE(testsupport::makeMovieClip(
        movie, {.seconds = 2, .blueAfter = 1, .size = {640, 360}, .framesPerSecond = 10}));
    // An older GIF there is replaced.
    testsupport::writeAll(gif, "old");

    const std::optional<recording::WriterError> error = recording::exportGif(movie, gif, 10, 320);
    ASSERT_FALSE(error) << error->description().toStdString();

    const std::optional<platform::GifInfo> info = platform::GifInfo::read(gif);
    ASSERT_TRUE(info);
    EXPECT_EQ(QSize(320, 180), info->size);
    EXPECT_EQ(std::vector<std::optional<int>>(20, 10), info->delays);
    EXPECT_EQ(std::optional<int>(0), info->loopCount);
    EXPECT_DOUBLE_EQ(2.0, recording::gifDuration(gif));
    EXPECT_EQ(QStringList{QStringLiteral("clip.gif")}, entries(dir.file(QStringLiteral("out"))));

    // Each frame shows the movie at its time: frames 0–9 red, 10–19 blue.
    QImageReader reader(gif);
    for (int frame = 0; frame < 20; ++frame) {
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << frame;
        ASSERT_EQ(QSize(320, 180), image.size());
        for (const QPoint at : {QPoint(5, 5), QPoint(160, 90), QPoint(315, 175)}) {
            const QColor colour = image.pixelColor(at);
            const bool red = colour.red() > 200 && colour.blue() < 60;
            const bool blue = colour.blue() > 200 && colour.red() < 60;
            EXPECT_TRUE(frame < 10 ? red : blue)
                << "frame " << frame << " " << colour.name().toStdString();
        }
    }
}

TEST_F(GifExport, AFifteenFrameClipPlaysAsLongAsTheMovie) {
    ASSERT_TRUE(
        testsupport::makeMovieClip(movie, {.seconds = 2, .size = {64, 36}, .framesPerSecond = 15}));
    ASSERT_FALSE(recording::exportGif(movie, gif, 15, 64));
    const std::optional<platform::GifInfo> info = platform::GifInfo::read(gif);
    ASSERT_TRUE(info);
    ASSERT_EQ(30u, info->delays.size());
    int total = 0;
    for (const std::optional<int>& delay : info->delays) {
        ASSERT_TRUE(delay);
        EXPECT_TRUE(*delay == 6 || *delay == 7) << *delay;
        total += *delay;
    }
    EXPECT_EQ(200, total) << "30 frames of 7 would play 2.1 s";
    EXPECT_DOUBLE_EQ(2.0, recording::gifDuration(gif));
}

TEST_F(GifExport, ARangeAndAWideMovie) {
    ASSERT_TRUE(testsupport::makeMovieClip(
        movie, {.seconds = 3, .blueAfter = 2, .size = {960, 320}, .framesPerSecond = 5}));
    ASSERT_FALSE(recording::exportGif(movie, gif, 4, 300, recording::TimeRange{1.5, 1.0}));
    const std::optional<platform::GifInfo> info = platform::GifInfo::read(gif);
    ASSERT_TRUE(info);
    EXPECT_EQ(QSize(300, 100), info->size);
    EXPECT_EQ(std::vector<std::optional<int>>(4, 25), info->delays);
    // 1.5 and 1.75 s are red, 2.0 and 2.25 s blue.
    QImageReader reader(gif);
    for (int frame = 0; frame < 4; ++frame) {
        const QColor colour = reader.read().pixelColor(150, 50);
        EXPECT_EQ(frame >= 2, colour.blue() > 200) << frame;
    }
}

// The offset of an MP4's data box ("mdat"), or -1.
qsizetype dataBoxAt(const QByteArray& movie) {
    qsizetype at = 0;
    while (at + 8 <= movie.size()) {
        const quint32 size = (quint32(uchar(movie[at])) << 24) |
                             (quint32(uchar(movie[at + 1])) << 16) |
                             (quint32(uchar(movie[at + 2])) << 8) | quint32(uchar(movie[at + 3]));
        if (movie.mid(at + 4, 4) == "mdat") {
            return at;
        }
        if (size < 8) {
            break;
        }
        at += size;
    }
    return -1;
}

TEST_F(GifExport, ABrokenMovieGivesTheFramesBeforeTheBreakOrNoFile) {
    struct Case {
        const char* what;
        bool fastStart;
        double keep;      // the share of the file kept; < 0: up to just past the index
        int framesAtMost; // 0: no GIF
    };
    const Case cases[] = {
        {"index at the end, cut off", false, 0.5, 0},
        {"index first, data cut off half way", true, 0.5, 19},
        {"index first, no picture left", true, -1, 0},
        {"no movie at all", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(gif);
        ASSERT_TRUE(testsupport::makeMovieClip(movie, {.seconds = 2,
                                                       .size = {320, 180},
                                                       .framesPerSecond = 10,
                                                       .pattern = true,
                                                       .fastStart = c.fastStart}));
        QByteArray bytes = testsupport::readAll(movie);
        if (c.keep < 0) {
            ASSERT_GT(dataBoxAt(bytes), 0);
            bytes.truncate(dataBoxAt(bytes) + 8 + 64);
        } else {
            bytes.truncate(qsizetype(double(bytes.size()) * c.keep));
        }
        testsupport::writeAll(movie, c.keep != 0 ? bytes : QByteArray("not a movie"));
        const std::optional<recording::WriterError> error =
            recording::exportGif(movie, gif, 10, 320);
        if (c.framesAtMost == 0) {
            ASSERT_TRUE(error);
            EXPECT_EQ(recording::WriterError::Kind::failed, error->kind());
            EXPECT_FALSE(error->description().isEmpty());
            EXPECT_TRUE(entries(dir.file(QStringLiteral("out"))).isEmpty());
            continue;
        }
        ASSERT_FALSE(error) << error->description().toStdString();
        const std::optional<platform::GifInfo> info = platform::GifInfo::read(gif);
        ASSERT_TRUE(info);
        EXPECT_GE(info->delays.size(), 1u);
        EXPECT_LE(info->delays.size(), std::size_t(c.framesAtMost));
        // The frames there keep their own delays: the GIF plays shorter.
        for (const std::optional<int>& delay : info->delays) {
            EXPECT_EQ(std::optional<int>(10), delay);
        }
    }
    QFile::remove(gif);
    // A missing movie, and an old GIF kept through a failure.
    testsupport::writeAll(gif, "old");
    EXPECT_TRUE(recording::exportGif(dir.file(QStringLiteral("absent.mp4")), gif, 10, 320));
    EXPECT_EQ(QByteArray("old"), testsupport::readAll(gif));
}

TEST_F(GifExport, AnUnwritableDestinationIsSaid) {
    ASSERT_TRUE(testsupport::makeMovieClip(movie, {.seconds = 1, .size = {64, 36}}));
    const std::optional<recording::WriterError> error =
        recording::exportGif(movie, dir.file(QStringLiteral("absent/clip.gif")), 10, 320);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->description().contains(QStringLiteral("GIF could not be created")))
        << error->description().toStdString();
}

TEST(GifDuration, AddsTheDelaysAndCountsMissingOnesAsATenth) {
    testsupport::TempDir dir;
    // GIF89a, 1×1, no global map; frames as given: with a graphic control
    // block of the delay, or without one.
    const auto gifOf = [](const std::vector<std::optional<int>>& delays) {
        QByteArray bytes("GIF89a\x01\x00\x01\x00\x00\x00\x00", 13);
        for (const std::optional<int>& delay : delays) {
            if (delay) {
                bytes += QByteArray("\x21\xF9\x04\x00", 4);
                bytes += char(*delay & 0xff);
                bytes += char(*delay >> 8);
                bytes += QByteArray("\x00\x00", 2);
            }
            // Image at 0,0 1×1 with a local map of 2 colours, LZW of one pixel.
            bytes += QByteArray("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x80", 10);
            bytes += QByteArray("\x00\x00\x00\xFF\xFF\xFF", 6);
            bytes += QByteArray("\x02\x02\x44\x01\x00", 5);
        }
        bytes += ';';
        return bytes;
    };
    struct Case {
        std::vector<std::optional<int>> delays;
        double seconds;
    };
    const Case cases[] = {
        {{10, 10, 10}, 0.3},
        {{std::nullopt, std::nullopt}, 0.2},
        {{0, 250}, 2.5}, // a delay of 0 is one, and counts as written
        {{}, 0},
    };
    for (const Case& c : cases) {
        const QString path = dir.file(QStringLiteral("d.gif"));
        testsupport::writeAll(path, gifOf(c.delays));
        EXPECT_NEAR(c.seconds, recording::gifDuration(path), 1e-9) << c.delays.size();
    }
    testsupport::writeAll(dir.file(QStringLiteral("x.gif")), "no gif");
    EXPECT_EQ(0, recording::gifDuration(dir.file(QStringLiteral("x.gif"))));
}

} // namespace
