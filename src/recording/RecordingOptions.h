#pragma once

#include "recording/RecordingFilter.h"

namespace recording {

// What a recording records.
struct RecordingOptions {
    bool systemAudio = false;
    bool microphone = false;
    bool showCursor = true;
    RecordingFilter filter;
    int fps = 30; // also the movie's frame rate
    double bitsPerPixel = 0.1;
    double scale = 1; // pixels per point of the output
};

} // namespace recording
