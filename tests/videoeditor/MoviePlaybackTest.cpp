#include "platform/MoviePlayback.h"

#include "support/NumberedMovie.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using platform::MoviePlayback;

// Decodes until the first picture; the sound met on the way is added up.
struct Reached {
    MoviePlayback::Picture picture;
    double firstSoundTime = -1;
    std::size_t soundFrames = 0;
    double loudest = 0;
};

Reached untilPicture(MoviePlayback& playback) {
    Reached reached;
    MoviePlayback::Picture picture;
    MoviePlayback::Sound sound;
    for (;;) {
        const MoviePlayback::Next next = playback.next(QSize(320, 180), picture, sound);
        if (next == MoviePlayback::Next::end) {
            ADD_FAILURE() << "no picture";
            return reached;
        }
        if (next == MoviePlayback::Next::sound) {
            if (reached.firstSoundTime < 0) {
                reached.firstSoundTime = sound.time;
            }
            reached.soundFrames += sound.samples.size() / 2;
            for (const float sample : sound.samples) {
                reached.loudest = std::max(reached.loudest, double(std::abs(sample)));
            }
            continue;
        }
        reached.picture = picture;
        return reached;
    }
}

TEST(MoviePlayback, SeeksToThePictureShownThereAndMixesEverySoundTrack) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("numbered.mp4"));
    testsupport::NumberedMovie movie;
    movie.seconds = 4;
    movie.size = QSize(320, 180);
    ASSERT_TRUE(testsupport::makeNumberedMovie(path, movie));

    const std::unique_ptr<MoviePlayback> playback = MoviePlayback::open(path);
    ASSERT_TRUE(playback);
    EXPECT_NEAR(4.0, playback->duration(), 0.05);
    EXPECT_TRUE(playback->hasAudio());

    // From the start; the seek target between key frames (every 1.5 s) and
    // between two frames.
    const std::pair<double, int> targets[] = {{0, 0}, {2.0, 60}, {2.51, 75}, {1.0, 30}};
    for (const auto& [target, number] : targets) {
        ASSERT_TRUE(playback->seek(target));
        const Reached reached = untilPicture(*playback);
        EXPECT_EQ(number, testsupport::frameNumber(reached.picture.image)) << target;
        EXPECT_NEAR(target, reached.picture.time, 1e-6) << target;
        EXPECT_EQ(QSize(320, 180), reached.picture.image.size());
        // The sound starts at the target, whatever lay before it.
        if (reached.firstSoundTime >= 0) {
            EXPECT_NEAR(target, reached.firstSoundTime, 0.001) << target;
        }
    }
    // Pictures then follow in order, every 1/30 s, with both tones' sound.
    ASSERT_TRUE(playback->seek(1.0));
    MoviePlayback::Picture picture;
    MoviePlayback::Sound sound;
    int pictures = 0;
    int lastNumber = 29;
    std::size_t soundFrames = 0;
    double loudest = 0;
    while (pictures < 30) {
        const MoviePlayback::Next next = playback->next(QSize(), picture, sound);
        ASSERT_NE(MoviePlayback::Next::end, next);
        if (next == MoviePlayback::Next::picture) {
            EXPECT_EQ(lastNumber + 1, testsupport::frameNumber(picture.image));
            lastNumber = testsupport::frameNumber(picture.image);
            ++pictures;
        } else {
            soundFrames += sound.samples.size() / 2;
            for (const float sample : sound.samples) {
                loudest = std::max(loudest, double(std::abs(sample)));
            }
        }
    }
    EXPECT_EQ(QSize(320, 180), picture.image.size());
    EXPECT_GT(soundFrames, std::size_t(MoviePlayback::soundRate / 2));
    // Two sine tones of amplitude 1/8 each, added.
    EXPECT_GT(loudest, 0.15);
    EXPECT_LE(loudest, 1.0);
}

TEST(MoviePlayback, WhatIsNoMovieDoesNotOpen) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("notes.mp4"));
    testsupport::writeAll(path, QByteArray("no movie in here"));
    EXPECT_FALSE(MoviePlayback::open(path));
    EXPECT_FALSE(MoviePlayback::open(dir.file(QStringLiteral("missing.mp4"))));
}

} // namespace
