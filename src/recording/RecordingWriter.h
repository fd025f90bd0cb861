#pragma once

#include "desktop/SerialQueue.h"
#include "platform/MediaSamples.h"
#include "platform/MovieWriter.h"
#include "recording/RecordingTimeline.h"
#include "recording/WriterError.h"

#include <QSize>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace recording {

// Turns the pictures and sound of one recording into one MPEG-4 movie. Its
// state lives on its own thread, queue(): the samples are handed over there,
// and pause, resume, finish and cancel are posted there, so all of them take
// effect in the order they came. The encoding itself runs behind that thread;
// a sample that finds the encoder busy is dropped rather than waited for.
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

    // On queue(). A sample that cannot be used is dropped; nothing is reported.
    void appendVideo(const platform::VideoFrame& frame);
    void appendAudio(const platform::AudioChunk& chunk, AudioSource source);

    // From any thread; they take effect on queue(). The pause counts from the
    // moment it is asked for.
    void pause();
    void resume();

    // Ends the movie: at `endTime` (the host time of the stop) when that came
    // less than ten seconds after the last sample and the recording is not
    // paused, else at the end of the last sample. `done` runs on the main
    // thread with nothing (the file is at its path) or the error (no file).
    void finish(std::optional<platform::HostTime> endTime,
                std::function<void(std::optional<WriterError>)> done);
    // Stops writing and removes the file.
    void cancel();

private:
    RecordingWriter(QString path, int frameRate, std::unique_ptr<platform::MovieWriter> movie,
                    const std::vector<AudioSource>& audio);
    bool isWriting() const;

    const QString path_;
    std::unique_ptr<platform::MovieWriter> movie_;
    std::map<AudioSource, int> tracks_;
    RecordingTimeline timeline_;
    bool ended_ = false;
    // Last, so that it goes first: the tasks still waiting on it run while
    // everything above exists.
    std::unique_ptr<desktop::SerialQueue> queue_;
};

} // namespace recording
