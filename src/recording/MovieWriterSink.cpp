#include "recording/RecordingSink.h"

#if __has_include("recording/RecordingWriter.h")
#include "recording/RecordingWriter.h"
#define VEXLIN_HAS_RECORDING_WRITER 1
#endif

#include <QCoreApplication>

#include <algorithm>

namespace recording {

#ifdef VEXLIN_HAS_RECORDING_WRITER

namespace {

RecordingWriter::AudioSource writerSource(AudioTrack track) {
    return track == AudioTrack::system ? RecordingWriter::AudioSource::system
                                       : RecordingWriter::AudioSource::microphone;
}

class MovieWriterSink final : public RecordingSink {
public:
    explicit MovieWriterSink(std::unique_ptr<RecordingWriter> writer)
        : writer_(std::move(writer)) {}
    desktop::SerialQueue& queue() override { return writer_->queue(); }
    void appendVideo(const platform::VideoFrame& frame) override { writer_->appendVideo(frame); }
    void appendAudio(const platform::AudioChunk& chunk, AudioTrack track) override {
        writer_->appendAudio(chunk, writerSource(track));
    }
    platform::VideoBacklog videoBacklog() const override { return writer_->videoBacklog(); }
    void warmUp() override { writer_->warmUp(); }
    void pause() override { writer_->pause(); }
    void resume() override { writer_->resume(); }
    void setOnFailure(std::function<void(const WriterError&)> onFailure) override {
        writer_->setOnFailure(std::move(onFailure));
    }
    void finish(std::optional<platform::HostTime> endTime,
                std::function<void(std::optional<WriterError>)> done) override {
        writer_->finish(endTime, std::move(done));
    }
    void cancel() override { writer_->cancel(); }

private:
    std::unique_ptr<RecordingWriter> writer_;
};

} // namespace

SinkFactory SinkFactory::movieWriter() {
    SinkFactory factory;
    factory.fittingSize = [](double width, double height) {
        return RecordingWriter::fittingSize(width, height);
    };
    factory.make = [](const QString& path, QSize size, int frameRate, double bitsPerPixel,
                      const std::vector<AudioTrack>& audio)
        -> std::variant<std::unique_ptr<RecordingSink>, WriterError> {
        std::vector<RecordingWriter::AudioSource> sources;
        for (AudioTrack track : audio) {
            sources.push_back(writerSource(track));
        }
        auto made =
            RecordingWriter::make(path, size, frameRate, bitsPerPixel, std::nullopt, sources);
        if (auto* error = std::get_if<WriterError>(&made)) {
            return *error;
        }
        return std::make_unique<MovieWriterSink>(
            std::move(std::get<std::unique_ptr<RecordingWriter>>(made)));
    };
    return factory;
}

#else

// Built before the movie writer: recording says it cannot write movies.
SinkFactory SinkFactory::movieWriter() {
    SinkFactory factory;
    factory.fittingSize = [](double width, double height) {
        const auto even = [](double side, int limit) {
            const int whole = std::clamp(int(side), 2, limit);
            return whole - whole % 2;
        };
        return QSize(even(width, 8192), even(height, 4320));
    };
    factory.make = [](const QString&, QSize, int, double, const std::vector<AudioTrack>&)
        -> std::variant<std::unique_ptr<RecordingSink>, WriterError> {
        return WriterError::failed(QCoreApplication::translate("recording::ScreenRecorder",
                                                               "This build cannot write movies."));
    };
    return factory;
}

#endif

} // namespace recording
