#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

namespace platform {

// Nanoseconds on CLOCK_MONOTONIC: the one clock that every frame and every
// piece of sound of a recording is stamped on, so that they line up.
using HostTime = std::int64_t;

HostTime hostTimeNow();

// One whole picture of what is being recorded, already at the size written.
struct VideoFrame {
    QImage image; // RGB32
    HostTime time = 0;
};

// Sound as 48 kHz interleaved stereo floats; `time` is that of the first
// sample.
struct AudioChunk {
    std::vector<float> samples;
    HostTime time = 0;
};

} // namespace platform
