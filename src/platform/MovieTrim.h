#pragma once

#include "platform/MovieWriter.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

namespace platform {

// One stretch of a movie written again as a movie of its own.
struct MovieTrim {
    QString source;
    // Where the new movie goes. It is written beside it under a hidden
    // temporary name and moved there only when complete, so a failed export
    // leaves no file (and an old file at output as it was).
    QString output;
    // Seconds from the start of the source; end is clamped to its length.
    double start = 0;
    double end = 0;
    // Every sound track of the source, in order, or none.
    bool keepAudio = true;
    // Picks the encoder for the picture's size and frame rate.
    std::function<VideoCodec(QSize size, double framesPerSecond)> codecFor;
    // Constant quality of the picture (x264/x265 CRF): 18 is near-transparent.
    int quality = 18;
    // The x264/x265 preset.
    QString preset = QStringLiteral("fast");
    // Set from another thread to stop early; the export then fails.
    const std::atomic<bool>* cancelled = nullptr;
};

// Decodes the source from the key frame at or before start, drops what
// precedes start (the frame shown at start becomes the first one), encodes
// the pictures up to end again (BT.709 tagged, the index in front) and each
// sound track as 48 kHz stereo AAC over exactly the same stretch. Blocks: run
// it off the main thread. Nothing on success, else why not, worded for the
// user.
std::optional<QString> trimMovie(const MovieTrim& trim);

} // namespace platform
