#include "recording/RecordingWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <utility>

// The context of this file's texts, declared where lupdate finds it.
struct RecordingWriterText {
    Q_DECLARE_TR_FUNCTIONS(RecordingWriterText)
};

namespace recording {

namespace {

constexpr double maxWidth = 8192;
constexpr double maxHeight = 4320;
// H.264 level 5.2: macroblocks in a frame and in a second.
constexpr std::int64_t maxMacroblocks = 36864;
constexpr std::int64_t maxMacroblockRate = 2'073'600;
constexpr std::int64_t minBitRate = 1'000'000;

void onMainThread(std::function<void()> task) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
}

constexpr platform::HostTime earlySoundKept = 1'000'000'000;
constexpr int audioRate = 48000;

platform::HostTime lengthOf(const platform::AudioChunk& chunk) {
    return platform::HostTime(chunk.samples.size() / 2) * 1'000'000'000 / audioRate;
}

} // namespace

// The movie's failure reaches whoever listens, from the encoding thread it
// happens on, also while the listener is being set.
struct RecordingWriter::FailureHook {
    std::mutex mutex;
    std::function<void(const WriterError&)> listener;
    std::optional<WriterError> failed;

    void report(const QString& message) {
        std::function<void(const WriterError&)> call;
        {
            std::lock_guard lock(mutex);
            if (failed) {
                return;
            }
            failed = WriterError::failed(message);
            call = listener;
        }
        if (call) {
            call(*failed);
        }
    }
};

QSize RecordingWriter::fittingSize(double width, double height) {
    double scale = 1;
    if (width > 1) {
        scale = std::min(scale, maxWidth / width);
    }
    if (height > 1) {
        scale = std::min(scale, maxHeight / height);
    }
    const auto side = [scale](double length) {
        return std::max(2, 2 * static_cast<int>(std::floor(length * scale / 2)));
    };
    return QSize(side(width), side(height));
}

RecordingWriter::Codec RecordingWriter::codecFor(QSize size, int frameRate) {
    const std::int64_t macroblocks =
        std::int64_t((size.width() + 15) / 16) * ((size.height() + 15) / 16);
    if (macroblocks <= maxMacroblocks && macroblocks * frameRate <= maxMacroblockRate) {
        return Codec::h264;
    }
    return Codec::hevc;
}

std::int64_t RecordingWriter::averageBitRate(int frameRate, int width, int height, double factor) {
    const double fps = frameRate;
    const double effectiveRate = std::min(fps, 60.0) + 0.3 * std::max(fps - 60.0, 0.0);
    const double bits = factor * (double(width) * double(height) * effectiveRate);
    return std::max(static_cast<std::int64_t>(bits), minBitRate);
}

std::variant<std::unique_ptr<RecordingWriter>, WriterError>
RecordingWriter::make(const QString& path, QSize size, int frameRate, double bitsPerPixel,
                      std::optional<Codec> codec, const std::vector<AudioSource>& audio) {
    return make(path, size, frameRate, bitsPerPixel, codec, audio, &platform::openMovieWriter);
}

std::variant<std::unique_ptr<RecordingWriter>, WriterError>
RecordingWriter::make(const QString& path, QSize size, int frameRate, double bitsPerPixel,
                      std::optional<Codec> codec, const std::vector<AudioSource>& audio,
                      const MovieOpener& open) {
    if (frameRate <= 0) {
        //: Recording: why the movie could not be written, shown in an alert
        return WriterError::failed(
            RecordingWriterText::tr("The recording's frame rate is not valid."));
    }
    // A file of an earlier recording at the same place is replaced; when it
    // cannot be removed, writing will say why.
    QFile::remove(path);

    platform::MovieSettings settings;
    settings.path = path;
    settings.size = size;
    settings.frameRate = frameRate;
    settings.bitRate = averageBitRate(frameRate, size.width(), size.height(), bitsPerPixel);
    settings.codec = codec.value_or(codecFor(size, frameRate)) == Codec::hevc
                         ? platform::VideoCodec::hevc
                         : platform::VideoCodec::h264;
    // One track per source, each source once, in the order given.
    std::vector<AudioSource> sources;
    for (AudioSource source : audio) {
        if (std::find(sources.begin(), sources.end(), source) == sources.end()) {
            sources.push_back(source);
        }
    }
    settings.audioTracks = static_cast<int>(sources.size());
    auto failure = std::make_shared<FailureHook>();
    settings.onFailure = [failure](const QString& message) { failure->report(message); };

    platform::MovieWriterResult opened = open(settings);
    if (auto* error = std::get_if<QString>(&opened)) {
        return WriterError::failed(*error);
    }
    return std::unique_ptr<RecordingWriter>(new RecordingWriter(
        path, frameRate, std::move(std::get<std::unique_ptr<platform::MovieWriter>>(opened)),
        sources, std::move(failure)));
}

RecordingWriter::RecordingWriter(QString path, int frameRate,
                                 std::unique_ptr<platform::MovieWriter> movie,
                                 const std::vector<AudioSource>& audio,
                                 std::shared_ptr<FailureHook> failure)
    : path_(std::move(path))
    , failure_(std::move(failure))
    , movie_(std::move(movie))
    , timeline_(1'000'000'000 / frameRate)
    , queue_(std::make_unique<desktop::SerialQueue>(QStringLiteral("Vexlin.recording-writer"))) {
    for (std::size_t i = 0; i < audio.size(); ++i) {
        tracks_[audio[i]] = static_cast<int>(i);
    }
}

RecordingWriter::~RecordingWriter() {
    if (queue_ && QThread::currentThread() == queue_->context()->thread()) {
        // Let go of from a task of its own queue (the last holder was a
        // callback that ran there): a thread cannot wait for itself, so the
        // queue is ended from the main thread.
        desktop::SerialQueue* queue = queue_.release();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [queue] { delete queue; }, Qt::QueuedConnection);
        return;
    }
    queue_.reset();
    // The movie writer's own destructor discards an unfinished movie.
}

bool RecordingWriter::isWriting() const {
    return !ended_ && !movie_->hasFailed();
}

void RecordingWriter::setOnFailure(std::function<void(const WriterError&)> onFailure) {
    std::optional<WriterError> already;
    {
        std::lock_guard lock(failure_->mutex);
        failure_->listener = onFailure;
        already = failure_->failed;
    }
    if (already && onFailure) {
        onFailure(*already);
    }
}

void RecordingWriter::appendVideo(const platform::VideoFrame& frame) {
    std::optional<platform::HostTime> at;
    {
        std::lock_guard lock(mutex_);
        if (!isWriting()) {
            return;
        }
        const bool first = !timeline_.hasStarted();
        at = timeline_.video(frame.time);
        if (!at) {
            return;
        }
        if (first) {
            // The sound that came first, as far as it belongs to the movie,
            // ahead of any that comes while this picture is converted.
            for (const auto& [track, chunk] : std::exchange(early_, {})) {
                appendAudioLocked(chunk, track);
            }
        }
    }
    // The picture is converted to the encoder's colours without the lock, so
    // that the sound threads never wait for it. The movie is still writing:
    // finish and cancel run on this same queue, after this.
    if (movie_->appendVideo(frame.image, *at) == platform::AppendResult::appended) {
        std::lock_guard lock(mutex_);
        timeline_.appended(frame.time, true);
        hasPicture_ = true;
    }
}

void RecordingWriter::appendAudio(const platform::AudioChunk& chunk, AudioSource source) {
    const auto track = tracks_.find(source);
    if (track == tracks_.end()) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (!isWriting()) {
        return;
    }
    if (!timeline_.hasStarted() && !timeline_.isPaused()) {
        early_.emplace_back(track->second, chunk);
        while (!early_.empty() && chunk.time - early_.front().second.time > earlySoundKept) {
            early_.pop_front();
        }
        return;
    }
    appendAudioLocked(chunk, track->second);
}

void RecordingWriter::appendAudioLocked(const platform::AudioChunk& chunk, int track) {
    const std::optional<platform::HostTime> at = timeline_.audio(chunk.time, lengthOf(chunk));
    if (!at) {
        return;
    }
    if (movie_->appendAudio(track, chunk.samples, *at) == platform::AppendResult::appended) {
        timeline_.appended(chunk.time, false);
    }
}

void RecordingWriter::pause() {
    const platform::HostTime at = platform::hostTimeNow();
    std::lock_guard lock(mutex_);
    timeline_.pause(at);
}

void RecordingWriter::resume() {
    std::lock_guard lock(mutex_);
    timeline_.resume();
}

void RecordingWriter::finish(std::optional<platform::HostTime> endTime,
                             std::function<void(std::optional<WriterError>)> done) {
    queue_->async([this, endTime, done = std::move(done)]() mutable {
        std::optional<WriterError> error;
        bool already = false;
        std::optional<platform::HostTime> end;
        {
            // Sound still coming is turned away from here on; the movie's
            // end (encoding what waits, the index) is done without the lock.
            std::lock_guard lock(mutex_);
            already = std::exchange(ended_, true);
            // Sound alone is no movie.
            if (hasPicture_) {
                end = timeline_.end(endTime);
            }
        }
        if (already) {
            //: Recording: why the movie could not be written, shown in an alert
            error =
                WriterError::failed(RecordingWriterText::tr("The recording has already ended."));
        } else {
            if (!end) {
                movie_->cancel();
                error = WriterError::nothingRecorded();
            } else if (std::optional<QString> failure = movie_->finish(*end)) {
                error = WriterError::failed(*failure);
            }
        }
        if (done) {
            // The callback may hold the last reference to this writer: it must
            // be let go of on the main thread, never in this task (a writer
            // cannot wait for its own thread).
            onMainThread([done = std::exchange(done, nullptr), error] { done(error); });
        }
    });
}

void RecordingWriter::cancel() {
    queue_->async([this] {
        bool already = false;
        {
            std::lock_guard lock(mutex_);
            already = std::exchange(ended_, true);
        }
        if (!already) {
            movie_->cancel();
        }
        QFile::remove(path_);
    });
}

} // namespace recording
