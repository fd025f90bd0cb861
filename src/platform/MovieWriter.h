#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
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
    // beside it under a hidden temporary name (workingPathFor()), as
    // fragmented MPEG-4: whatever was written a second or two before a crash
    // plays (keepWholeFragments()). A cancelled recording leaves no file.
    QString path;
    QSize size; // even sides
    int frameRate = 30;
    std::int64_t bitRate = 0; // the video's average, bit/s
    VideoCodec codec = VideoCodec::h264;
    int audioTracks = 0;
    // Called once, on an encoding thread, as soon as encoding or writing
    // fails (a full disk, a vanished folder), with why, worded for the user.
    std::function<void(const QString& message)> onFailure;
};

// The hidden name a movie for `path` is written under until it is finished:
// ".<name>.part" beside it.
QString workingPathFor(const QString& path);

// How far the video encoder is behind: pictures handed over and not yet
// encoded, and how many it holds before it answers notReady (0: unknown).
struct VideoBacklog {
    int waiting = 0;
    int capacity = 0;
    // Whether a warm-up (MovieWriter::warmUp()) is still under way.
    bool warmingUp = false;
};

enum class AppendResult {
    appended,
    // The encoder has as much waiting as it takes: the sample is not kept.
    notReady,
    // The sample cannot go into this movie (wrong size, time not after the
    // previous one, the movie failed or ended).
    refused,
};

// Encodes pictures and sound into one MPEG-4 movie. The appends never wait
// for an encoder: a picture is converted to the encoder's colours on the
// caller's thread and queued for the video encoder's thread (half a second of
// pictures at most), sound goes to a thread of its own behind a queue of
// several seconds, so a slow picture never costs sound.
// Times are nanoseconds from the start of the movie. One thread at a time
// calls a writer, except that a picture and sound may be appended at once
// from two threads (a picture's conversion does not hold up the sound).
class MovieWriter {
public:
    virtual ~MovieWriter() = default;

    // `image` is RGB32 at the movie's size; times must grow.
    virtual AppendResult appendVideo(const QImage& image, std::int64_t time) = 0;
    // Sound whose first sample plays at `time` (before 0: its start is cut).
    // A track starts at 0, with silence up to its first chunk; later chunks are
    // laid end to end, and one that starts more than 40 ms after the previous
    // one ends is preceded by silence, one that overlaps it by more loses its
    // overlapping start.
    virtual AppendResult appendAudio(int track, const std::vector<float>& samples,
                                     std::int64_t time) = 0;
    // Whether encoding or writing has failed; every append is refused from then on.
    virtual bool hasFailed() const = 0;
    // From any thread, also while another appends.
    virtual VideoBacklog videoBacklog() const { return {}; }
    // Lets the video encoder work through plain pictures of its own before
    // the first one appended, while there is time for it (a countdown): an
    // encoder's first pictures are slow while it sets up its buffers, and a
    // recording would lose its first ticks to that. None of them reaches the
    // file, and the first picture appended is a key frame that refers to
    // none of them. Stops as soon as a picture is appended. Before appending.
    virtual void warmUp() {}
    // Encodes what waits, ends the movie at `end` (the last picture lasts until
    // then; each sound track is cut or filled with silence to end there too),
    // puts the index in front and moves the file to its path. Blocks until
    // done. After a failure it keeps what was written before it: the whole
    // fragments go to the path as a playable movie. A message saying why when
    // no movie could be made; the temporary file is gone then.
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
