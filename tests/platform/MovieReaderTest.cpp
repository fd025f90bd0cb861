#include "platform/MovieReader.h"

#include "support/MovieClips.h"
#include "support/TempDir.h"

#include <QColor>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using platform::MovieReader;
using testsupport::MovieClip;

// Whether the middle of the image shows mostly `channel` (H.264's colour
// subsampling keeps pure red and blue far from each other).
bool shows(const QImage& image, Qt::GlobalColor expected) {
    const QColor middle = image.pixelColor(image.width() / 2, image.height() / 2);
    const QColor want(expected);
    return std::abs(middle.red() - want.red()) < 60 &&
           std::abs(middle.green() - want.green()) < 60 &&
           std::abs(middle.blue() - want.blue()) < 60;
}

TEST(MovieReader, ReadsLengthSoundAndSize) {
    testsupport::TempDir dir;
    const struct {
        const char* name;
        MovieClip clip;
        double seconds;
        bool sound;
    } cases[] = {
        // A recording's length in the strip reads "1:05".
        {"long.mp4", {.seconds = 65.4, .size = {32, 18}}, 65.4, false},
        {"sound.mov", {.seconds = 1, .withSound = true}, 1.0, true},
    };
    for (const auto& c : cases) {
        const QString path = dir.file(QLatin1String(c.name));
        ASSERT_TRUE(testsupport::makeMovieClip(path, c.clip));
        const auto movie = MovieReader::open(path);
        ASSERT_TRUE(movie) << c.name;
        ASSERT_TRUE(movie->duration()) << c.name;
        // AAC's priming samples may lengthen a track with sound by a frame.
        EXPECT_NEAR(*movie->duration(), c.seconds, c.sound ? 0.05 : 0.001) << c.name;
        EXPECT_EQ(movie->hasAudio(), c.sound) << c.name;
        EXPECT_EQ(movie->frameSize(), c.clip.size) << c.name;
    }
}

TEST(MovieReader, FramesAtTimesScaledToFitTheBox) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("clip.mp4"));
    ASSERT_TRUE(testsupport::makeMovieClip(
        path, {.seconds = 4, .blueAfter = 2, .size = {320, 180}, .framesPerSecond = 10}));
    const auto movie = MovieReader::open(path);
    ASSERT_TRUE(movie);

    const struct {
        double seconds;
        QSize box;
        QSize size;
        Qt::GlobalColor colour;
    } cases[] = {
        {0, {120, 76}, {120, 67}, Qt::red},     // fitted by its width
        {0, {40, 76}, {40, 22}, Qt::red},       // the aspect is kept
        {0, {}, {320, 180}, Qt::red},           // no box: its own size
        {0, {1000, 1000}, {320, 180}, Qt::red}, // never enlarged
        {3.05, {120, 76}, {120, 67}, Qt::blue}, // after a seek past a key frame
        {1.95, {120, 76}, {120, 67}, Qt::red},  // and back before the change
        {0, {120, 76}, {120, 67}, Qt::red},     // back to the start
    };
    for (const auto& c : cases) {
        const QImage frame = movie->frameAt(c.seconds, c.box);
        ASSERT_FALSE(frame.isNull()) << c.seconds;
        EXPECT_EQ(frame.size(), c.size) << c.seconds;
        EXPECT_TRUE(shows(frame, c.colour))
            << c.seconds << "s shows "
            << frame.pixelColor(frame.rect().center()).name().toStdString();
    }
    // Past the end: the last frame.
    EXPECT_TRUE(shows(movie->frameAt(60, {120, 76}), Qt::blue));
}

TEST(MovieReader, DamagedOrMissingFilesGiveNothing) {
    testsupport::TempDir dir;
    const QString whole = dir.file(QStringLiteral("whole.mp4"));
    ASSERT_TRUE(testsupport::makeMovieClip(whole, {.seconds = 3}));
    const QByteArray bytes = testsupport::readAll(whole);

    QByteArray noise(40'000, '\0');
    for (int i = 0; i < noise.size(); ++i) {
        noise[i] = char((i * 7919) ^ (i >> 3));
    }
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"noise.mp4", noise},
        {"empty.mov", QByteArray()},
        // The header and index survive, the frames do not.
        {"frames-gone.mp4", bytes.left(bytes.size() / 4) + noise},
        {"truncated.mp4", bytes.left(bytes.size() / 2)},
        {"png.mp4", QByteArray("\x89PNG\r\n\x1a\n", 8) + noise},
    };
    for (const auto& c : cases) {
        const QString path = dir.file(QLatin1String(c.name));
        testsupport::writeAll(path, c.bytes);
        // Either it does not open, or it opens and gives no good frame; it
        // never hangs or crashes.
        if (const auto movie = MovieReader::open(path)) {
            const QImage frame = movie->frameAt(0, {120, 76});
            EXPECT_TRUE(frame.isNull() || frame.width() <= 120) << c.name;
        }
    }
    EXPECT_FALSE(MovieReader::open(dir.file(QStringLiteral("missing.mp4"))));
}

} // namespace
