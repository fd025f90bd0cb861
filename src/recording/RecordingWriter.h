#pragma once

#include "desktop/SerialQueue.h"
#include "platform/MediaSamples.h"
#include "platform/MovieWriter.h"
#include "recording/RecordingTimeline.h"
#include "recording/WriterError.h"

#include <QSize>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

namespace recording {

// Turns the pictures and sound of one recording into one MPEG-4 movie. The
// pictures are handed over on its own thread, queue(); sound comes from the
// sound server's threads straight in, so that a slow picture never holds it
// up. Pause and resume take effect at once; finish and cancel are posted onto
// queue(), after the pictures handed over before them. The encoding itself
// runs behind: a picture that finds the encoder busy is dropped rather than
// waited for (videoBacklog() tells how near that is), while sound waits in a
// queue sized for seconds.
class RecordingWriter {
public:
    enum class AudioSource { system, microphone };
    enum class Codec { h264, hevc };

    // Opens the movie that `make` asked for; tests put their own in.
    using MovieOpener =
        std::function<platform::MovieWriterResult(const platform::MovieSettings& settings)>;

    // The size to record a source of width × height pixels at: at most
    // 8192 × 4320 with the aspect kept, each side even and at least 2.
    static QSize fittingSize(double width, double height);
    // H.264 while its level 5.2 limits hold (frame and macroblock rate),
    // HEVC beyond them.
    static Codec codecFor(QSize size, int frameRate);
    // bit/s: `factor` bits per pixel for each frame up to 60 fps and 0.3 of
    // that for each frame beyond; at least 1,000,000.
    static std::int64_t averageBitRate(int frameRate, int width, int height, double factor);

    // A writer already writing to `path` (any file there is replaced), or why
    // not. `audio` lists the tracks in the order they appear in the movie.
    static std::variant<std::unique_ptr<RecordingWriter>, WriterError>
    make(const QString& path, QSize size, int frameRate, double bitsPerPixel,
         std::optional<Codec> codec, const std::vector<AudioSource>& audio);
    static std::variant<std::unique_ptr<RecordingWriter>, WriterError>
    make(const QString& path, QSize size, int frameRate, double bitsPerPixel,
         std::optional<Codec> codec, const std::vector<AudioSource>& audio,
         const MovieOpener& open);

    // Waits for what was posted; an unfinished movie is discarded.
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // The thread named "Vexlin.recording-writer".
    desktop::SerialQueue& queue() { return *queue_; }

    // appendVideo on queue(), appendAudio from any thread. A sample that
    // cannot be used is dropped; nothing is reported. Sound that comes before
    // the first picture is kept (a second of it) for the part of it that
    // belongs after the picture's time: a picture reaches the writer later
    // than the sound taken at the same moment.
    void appendVideo(const platform::VideoFrame& frame);
    void appendAudio(const platform::AudioChunk& chunk, AudioSource source);
    // From any thread: the pictures waiting for the encoder, of how many it
    // holds before it drops one.
    platform::VideoBacklog videoBacklog() const { return movie_->videoBacklog(); }
    // Lets the encoder set itself up on plain pictures of its own before the
    // first picture comes (platform::MovieWriter::warmUp()), while there is
    // time for it.
    void warmUp() { movie_->warmUp(); }

    // From any thread; they take effect at once. The pause counts from the
    // moment it is asked for.
    void pause();
    void resume();

    // Called once, from an encoding thread, when encoding or writing fails
    // while recording (a full disk): the recording should end now. Finishing
    // then keeps what was written before the failure. Set before samples come.
    void setOnFailure(std::function<void(const WriterError& error)> onFailure);

    // Ends the movie: at `endTime` (the host time of the stop) when that came
    // less than ten seconds after the last sample and the recording is not
    // paused, else at the end of the last sample. `done` runs on the main
    // thread with nothing (the file is at its path) or the error (no file).
    void finish(std::optional<platform::HostTime> endTime,
                std::function<void(std::optional<WriterError>)> done);
    // Stops writing and removes the file.
    void cancel();

private:
    struct FailureHook;
    RecordingWriter(QString path, int frameRate, std::unique_ptr<platform::MovieWriter> movie,
                    const std::vector<AudioSource>& audio, std::shared_ptr<FailureHook> failure);
    bool isWriting() const;
    void appendAudioLocked(const platform::AudioChunk& chunk, int track);

    const QString path_;
    std::shared_ptr<FailureHook> failure_;
    // Takes a picture (on queue()) and sound at once; finish and cancel come
    // from queue() too.
    const std::unique_ptr<platform::MovieWriter> movie_;
    // Guards everything below: pictures and sound come on different threads.
    mutable std::mutex mutex_;
    std::map<AudioSource, int> tracks_;
    RecordingTimeline timeline_;
    bool ended_ = false;
    bool hasPicture_ = false;
    // Sound that came before the first picture, by track.
    std::deque<std::pair<int, platform::AudioChunk>> early_;
    // Last, so that it goes first: the tasks still waiting on it run while
    // everything above exists.
    std::unique_ptr<desktop::SerialQueue> queue_;
};

} // namespace recording
