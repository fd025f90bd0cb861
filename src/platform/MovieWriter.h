#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace platform {

enum class VideoCodec { h264, hevc };

// What one MPEG-4 movie is encoded as. Each audio track is AAC, 48 kHz stereo
// at 160 kb/s, fed with 48 kHz interleaved stereo floats.
struct MovieSettings {
    // Where the finished movie goes. Until it is finished the movie is written
    // beside it under a hidden temporary name, so a failed or cancelled
    // recording leaves no partial file.
    QString path;
    QSize size; // even sides
    int frameRate = 30;
    std::int64_t bitRate = 0; // the video's average, bit/s
    VideoCodec codec = VideoCodec::h264;
    int audioTracks = 0;
};

enum class AppendResult {
    appended,
    // The encoder has as much waiting as it takes: the sample is not kept.
    notReady,
    // The sample cannot go into this movie (wrong size, time not after the
    // previous one, the movie failed or ended).
    refused,
};

// Encodes pictures and sound into one MPEG-4 movie. The appends only hand the
// sample to an encoding thread behind a short queue and never wait for it.
// Times are nanoseconds from the start of the movie. One thread at a time
// calls a writer.
class MovieWriter {
public:
    virtual ~MovieWriter() = default;

    // `image` is RGB32 at the movie's size; times must grow.
    virtual AppendResult appendVideo(const QImage& image, std::int64_t time) = 0;
    // Sound whose first sample plays at `time`. A track's chunks are laid end
    // to end; one that starts well after the previous one ends is preceded by
    // silence, one that overlaps it loses its overlapping start.
    virtual AppendResult appendAudio(int track, const std::vector<float>& samples,
                                     std::int64_t time) = 0;
    // Whether encoding or writing has failed; every append is refused from then on.
    virtual bool hasFailed() const = 0;
    // Encodes what waits, ends the movie at `end` (the last picture lasts until
    // then; sound after it is cut), puts the index in front and moves the file
    // to its path. Blocks until done. A message saying why when the movie could
    // not be made; the temporary file is gone then.
    virtual std::optional<QString> finish(std::int64_t end) = 0;
    // Stops and removes what was written. Also what destroying an unfinished
    // writer does.
    virtual void cancel() = 0;
};

using MovieWriterResult = std::variant<std::unique_ptr<MovieWriter>, QString>;

// A writer encoding with FFmpeg (libx264 High or libx265 Main tagged hvc1, its
// AAC encoder), the file already open and its header written; or why not: the
// folder cannot be written, or this FFmpeg lacks an encoder.
MovieWriterResult openMovieWriter(const MovieSettings& settings);

} // namespace platform
