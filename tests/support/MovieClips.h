#pragma once

#include <QSize>
#include <QString>

namespace testsupport {

// A small H.264 movie made with the ffmpeg program: `seconds` of red, then,
// when `blueAfter` is below `seconds`, blue from that time on; silent unless
// `withSound`. Tiny and at a low frame rate, so even a long clip is made in a
// moment. False (and the test fails) when ffmpeg could not make it.
struct MovieClip {
    double seconds = 2;
    double blueAfter = 1e9;
    QSize size{64, 36};
    int framesPerSecond = 5;
    bool withSound = false;
    // A moving test pattern instead of the colours, whose frames carry data
    // of their own.
    bool pattern = false;
    // The index (moov) before the data, as recordings are written.
    bool fastStart = false;
};
bool makeMovieClip(const QString& path, const MovieClip& clip);

} // namespace testsupport
