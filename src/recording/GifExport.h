#pragma once

#include "recording/WriterError.h"

#include <QSize>
#include <QString>

#include <optional>
#include <vector>

namespace recording {

// A stretch of a movie, in seconds.
struct TimeRange {
    double start = 0;
    double duration = 0;
};

// The movie times a GIF shows, one per frame: from start on, one step of
// 1 / max(fps, 1) s after the other, added up, while before end − 0.0001 s
// (so no frame lands on the very end), each rounded to 1/600 s. An empty
// stretch gives the start alone.
std::vector<double> gifSampleTimes(double start, double end, int fps);

// How long each frame stays, in the GIF's hundredths of a second:
// round(100 / max(fps, 1)).
int gifDelayCentiseconds(int fps);

// How long each frame of `times` (from gifSampleTimes) stays, in hundredths
// of a second, so that the GIF plays as long as the stretch up to `end`: a
// frame lasts until the next frame's time (the last until `end`), each moment
// rounded on the GIF's clock, so 15 fps gives 7, 6, 7, 7, 6, … and the delays
// add up to the stretch's length within a hundredth. At least 1 each (a 0
// plays as a tenth in most viewers).
std::vector<int> gifFrameDelays(const std::vector<double>& times, double end);

// A movie picture of `movie` size fitted within maxWidth × 4·maxWidth with
// its aspect kept, never enlarged; the height rounded, at least 1 × 1.
QSize gifFrameSize(QSize movie, double maxWidth);

// Turns the movie (or the range of it) into an endlessly looping GIF at gif:
// a frame every 1/fps s showing the movie's picture at that time, scaled to
// gifFrameSize, each with its own palette and its delay of gifFrameDelays.
// A movie that breaks off part way gives the frames up to the break, each
// with its own delay (the GIF plays shorter). The movie is decoded once; the
// colours of several frames are reduced at once on other threads while the
// frames are written in order. The GIF is written under a temporary name and
// renamed over gif only when complete, so a failed export leaves no file (and
// an old file at gif as it was). Blocks: run it off the main thread. Nothing
// on success, else why not: a movie that cannot be read, one of which no
// frame decodes, or a GIF that cannot be written.
std::optional<WriterError> exportGif(const QString& movie, const QString& gif, int fps,
                                     double maxWidth,
                                     std::optional<TimeRange> range = std::nullopt);

// The playing time of a GIF in seconds: its frames' delays added up as they
// are written, 0 included; a frame that states no delay counts 0.1 s. 0 for a
// file that is no readable GIF.
double gifDuration(const QString& path);

} // namespace recording
