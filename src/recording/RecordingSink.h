#pragma once

#include "recording/WriterError.h"

#include "desktop/SerialQueue.h"
#include "platform/MediaSamples.h"
#include "platform/MovieWriter.h"

#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace recording {

enum class AudioTrack { system, microphone };

// Where a recorder puts what it records: the movie writer, or a stand-in in
// tests. Pictures reach it on queue(); sound comes straight from the sound
// server's threads, so that a slow picture never holds it up.
class RecordingSink {
public:
    virtual ~RecordingSink() = default;
    virtual desktop::SerialQueue& queue() = 0;
    virtual void appendVideo(const platform::VideoFrame& frame) = 0; // on queue()
    // From any thread; each track's chunks in order.
    virtual void appendAudio(const platform::AudioChunk& chunk, AudioTrack track) = 0;
    // From any thread: how far the encoding of the pictures is behind, so
    // that the frames can be thinned evenly before pictures are lost.
    virtual platform::VideoBacklog videoBacklog() const { return {}; }
    // Sets the encoder up ahead of the first picture, while there is time for
    // it (a countdown); stops as soon as a picture comes.
    virtual void warmUp() {}
    virtual void pause() = 0;  // from now on
    virtual void resume() = 0; // from now on
    // Called once, from any thread, when writing fails while recording (a full
    // disk): the recording should end now; finish() keeps what was written.
    virtual void setOnFailure(std::function<void(const WriterError& error)> onFailure) {
        (void)onFailure;
    }
    // `done` runs on the main thread with nothing or the error.
    virtual void finish(std::optional<platform::HostTime> endTime,
                        std::function<void(std::optional<WriterError>)> done) = 0;
    // Posts; the file is removed.
    virtual void cancel() = 0;
};

// How a recorder gets its sink: the output size rule and the making of one.
struct SinkFactory {
    // The output size for a source of width × height pixels.
    std::function<QSize(double width, double height)> fittingSize;
    std::function<std::variant<std::unique_ptr<RecordingSink>, WriterError>(
        const QString& path, QSize size, int frameRate, double bitsPerPixel,
        const std::vector<AudioTrack>& audio)>
        make;

    // The movie writer.
    static SinkFactory movieWriter();
};

} // namespace recording
