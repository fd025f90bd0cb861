#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace testsupport {

// A movie made with the ffmpeg program whose every frame shows its own
// number: written large for the eye, and as ten black and white blocks along
// the top (bit i of the number in block i, from the left) for a test to read
// back. H.264 with a key frame every 1.5 s, so a range starting on a whole
// second begins between key frames; each sound track is a sine tone of its
// own pitch as AAC.
struct NumberedMovie {
    double seconds = 14;
    QSize size{640, 360};
    int framesPerSecond = 30;
    int soundTracks = 2;
};
bool makeNumberedMovie(const QString& path, const NumberedMovie& movie);

// The number a frame of such a movie shows (scaled to any size); -1 when the
// picture holds no such number.
int frameNumber(const QImage& frame);

} // namespace testsupport
