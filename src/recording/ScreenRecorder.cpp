#include "recording/ScreenRecorder.h"

#include "recording/RecordingFiles.h"

#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"
#include "platform/AudioSource.h"
#include "platform/ClientWindows.h"
#include "platform/FrameSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QUuid>

#include <QElapsedTimer>

#include <atomic>
#include <climits>
#include <cmath>

#include <unistd.h>

namespace recording {

// What the capture threads reach: the sink once it exists, and the recorder
// to tell of a failure while it exists.
struct ScreenRecorder::Route {
    std::atomic<RecordingSink*> sink{nullptr};
    // How far each sound track has been heard (the end of its last chunk on
    // the host clock), so that a stop can wait for the sound of its moment.
    std::atomic<platform::HostTime> heard[2] = {INT64_MIN, INT64_MIN};
    // Sound after this moment (the stop) is not the recording's.
    std::atomic<platform::HostTime> soundEnd{INT64_MAX};
    // A sound source or the screen went away (also before a recorder took
    // the route).
    std::atomic<bool> lost{false};
    bool soundLost = false;             // main thread only
    ScreenRecorder* recorder = nullptr; // main thread only
    bool failed = false;                // main thread only

    static void reportFailure(const std::weak_ptr<Route>& weak, const QString& message) {
        if (const std::shared_ptr<Route> route = weak.lock()) {
            route->lost.store(true);
        }
        QMetaObject::invokeMethod(qApp, [weak, message] {
            const std::shared_ptr<Route> route = weak.lock();
            if (!route || route->recorder == nullptr || route->failed) {
                return;
            }
            route->failed = true;
            if (route->recorder->onFailure) {
                route->recorder->onFailure(message);
            }
        });
    }

    // A sound source went away while recording: the pictures go on, the
    // sound tracks are silent from here, and the note says so.
    static void reportSoundLost(const std::weak_ptr<Route>& weak, const QString& message) {
        if (const std::shared_ptr<Route> route = weak.lock()) {
            route->lost.store(true);
        }
        QMetaObject::invokeMethod(qApp, [weak, message] {
            const std::shared_ptr<Route> route = weak.lock();
            if (!route || route->recorder == nullptr || route->failed || route->soundLost ||
                route->recorder->ended_) {
                return;
            }
            route->soundLost = true;
            ScreenRecorder& recorder = *route->recorder;
            QString reason = message;
            if (!reason.isEmpty()) {
                reason[0] = reason[0].toLower();
            }
            //: Note on the recording control bar when the sound stops during a recording; the
            //: reason (the sound server stopped…) follows
            recorder.soundNote_ = QCoreApplication::translate("recording::ScreenRecorder",
                                                              "Sound is no longer recorded: %1")
                                      .arg(reason);
            if (recorder.onSoundNote) {
                recorder.onSoundNote(recorder.soundNote_);
            }
        });
    }
};

namespace {

// How long a stop waits at most for the sound of its moment.
constexpr int soundTailWaitMs = 400;
constexpr platform::HostTime kSoundRate = 48000;

std::variant<std::unique_ptr<platform::AudioSource>, QString>
openAudio(platform::AudioSource::Device device, AudioTrack track,
          const std::shared_ptr<void>& routeKeeper, std::atomic<RecordingSink*>* sink,
          std::atomic<platform::HostTime>* heard, const std::atomic<platform::HostTime>* soundEnd,
          std::function<void(const QString&)> failure) {
    return platform::AudioSource::open(
        device,
        // Until the sink exists, sound is let go of. Straight in from the
        // sound server's thread: the sink's own thread may be busy with a
        // picture, and sound must not wait behind it.
        [routeKeeper, sink, heard, soundEnd, track](platform::AudioChunk chunk) {
            RecordingSink* target = sink->load();
            if (target == nullptr) {
                return;
            }
            const platform::HostTime end = soundEnd->load();
            const platform::HostTime heardTo =
                chunk.time +
                platform::HostTime(chunk.samples.size() / 2) * 1'000'000'000 / kSoundRate;
            if (heardTo > end) {
                // Only what was heard up to the stop.
                const auto keep =
                    std::max<platform::HostTime>(end - chunk.time, 0) * kSoundRate / 1'000'000'000;
                chunk.samples.resize(std::size_t(keep) * 2);
            }
            if (!chunk.samples.empty()) {
                target->appendAudio(chunk, track);
            }
            heard->store(heardTo);
        },
        std::move(failure));
}

// The note of the control bar for sound that was asked for and cannot be
// recorded, or nothing.
QString missingSoundNote(const std::optional<QString>& system,
                         const std::optional<QString>& microphone) {
    // The reason follows a colon, as a clause.
    const auto clause = [](QString reason) {
        if (!reason.isEmpty()) {
            reason[0] = reason[0].toLower();
        }
        return reason;
    };
    if (system && microphone && *system == *microphone) {
        //: Note on the recording control bar; the reason (no sound server…) follows
        return QCoreApplication::translate("recording::ScreenRecorder",
                                           "Recording without sound: %1")
            .arg(clause(*system));
    }
    QStringList notes;
    if (system) {
        //: Note on the recording control bar; the reason follows
        notes << QCoreApplication::translate("recording::ScreenRecorder",
                                             "Recording without the computer’s sound: %1")
                     .arg(clause(*system));
    }
    if (microphone) {
        //: Note on the recording control bar; the reason follows
        notes << QCoreApplication::translate("recording::ScreenRecorder",
                                             "Recording without the microphone: %1")
                     .arg(clause(*microphone));
    }
    return notes.join(QLatin1Char('\n'));
}

} // namespace

// Sound sources opened, and where their sound goes once a recorder takes
// them.
class ScreenRecorder::PreparedSound {
public:
    // Whether it has what a recording with these choices asks for, still
    // flowing.
    bool serves(bool systemAudio, bool microphone) const {
        return systemAudio == systemAsked && microphone == microphoneAsked && !route->lost.load();
    }

    bool systemAsked = false;
    bool microphoneAsked = false;
    std::shared_ptr<Route> route = std::make_shared<Route>();
    std::unique_ptr<platform::AudioSource> system;
    std::unique_ptr<platform::AudioSource> microphone;
    std::optional<QString> systemMissing;
    std::optional<QString> microphoneMissing;
};

// A movie opened for a recording yet to start, and what it was opened for.
class ScreenRecorder::PreparedMovie {
public:
    ~PreparedMovie() {
        if (sink) {
            sink->cancel();
        }
    }

    bool serves(QSize size, const RecordingOptions& options, const std::vector<AudioTrack>& tracks,
                const QString& directory) const {
        return sink && size == this->size && options.fps == fps &&
               options.bitsPerPixel == bitsPerPixel && tracks == this->tracks &&
               QDir(directory) == QDir(this->directory);
    }

    QSize size;
    int fps = 0;
    double bitsPerPixel = 0;
    std::vector<AudioTrack> tracks;
    QString directory;
    QString path;
    std::unique_ptr<RecordingSink> sink;
};

bool ScreenRecorder::serves(const PreparedSound& sound, bool systemAudio, bool microphone) {
    return sound.serves(systemAudio, microphone);
}

std::shared_ptr<ScreenRecorder::PreparedSound> ScreenRecorder::prepareSound(bool systemAudio,
                                                                            bool microphone) {
    auto sound = std::make_shared<PreparedSound>();
    sound->systemAsked = systemAudio;
    sound->microphoneAsked = microphone;
    Route& route = *sound->route;
    const std::weak_ptr<Route> weak = sound->route;
    auto failure = [weak](const QString& message) { Route::reportSoundLost(weak, message); };
    if (systemAudio) {
        auto opened =
            openAudio(platform::AudioSource::Device::systemOutput, AudioTrack::system, sound->route,
                      &route.sink, &route.heard[0], &route.soundEnd, failure);
        if (auto* message = std::get_if<QString>(&opened)) {
            sound->systemMissing = *message;
        } else {
            sound->system = std::move(std::get<0>(opened));
        }
    }
    if (microphone) {
        auto opened =
            openAudio(platform::AudioSource::Device::microphone, AudioTrack::microphone,
                      sound->route, &route.sink, &route.heard[1], &route.soundEnd, failure);
        if (auto* message = std::get_if<QString>(&opened)) {
            sound->microphoneMissing = *message;
        } else {
            sound->microphone = std::move(std::get<0>(opened));
        }
    }
    return sound;
}

namespace {

// The sound tracks of a movie, as far as their devices could be had.
std::vector<AudioTrack> movieTracks(bool systemAudio, bool microphone) {
    std::vector<AudioTrack> tracks;
    if (systemAudio) {
        tracks.push_back(AudioTrack::system);
    }
    if (microphone) {
        tracks.push_back(AudioTrack::microphone);
    }
    return tracks;
}

QString moviePath(const QString& folder) {
    const QString directory = folder.isEmpty() ? recordingsFolder() : folder;
    QDir().mkpath(directory);
    return QDir(directory).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) +
                                    QStringLiteral(".mp4"));
}

} // namespace

std::shared_ptr<ScreenRecorder::PreparedMovie>
ScreenRecorder::prepareMovie(const QRectF& region, const RecordingOptions& options,
                             const SinkFactory& sinks, const QString& folder,
                             const std::shared_ptr<PreparedSound>& sound) {
    auto movie = std::make_shared<PreparedMovie>();
    movie->size =
        sinks.fittingSize(options.scale * region.width(), options.scale * region.height());
    movie->fps = options.fps;
    movie->bitsPerPixel = options.bitsPerPixel;
    // The tracks the recorder will have: those of the devices already open.
    const bool soundReady = sound && sound->serves(options.systemAudio, options.microphone);
    movie->tracks = movieTracks(soundReady ? sound->system != nullptr : options.systemAudio,
                                soundReady ? sound->microphone != nullptr : options.microphone);
    movie->path = moviePath(folder);
    movie->directory = QFileInfo(movie->path).absolutePath();
    auto made =
        sinks.make(movie->path, movie->size, movie->fps, movie->bitsPerPixel, movie->tracks);
    if (std::holds_alternative<WriterError>(made)) {
        return nullptr;
    }
    movie->sink = std::move(std::get<0>(made));
    movie->sink->warmUp();
    return movie;
}

ScreenRecorder::ScreenRecorder() : route_(std::make_shared<Route>()) {
    route_->recorder = this;
}

ScreenRecorder::~ScreenRecorder() {
    if (!ended_) {
        stop();
    }
    route_->recorder = nullptr;
}

QRect ScreenRecorder::rootPixels(const QRectF& region) const {
    return desktop::ScreenGeometry::localPixels(region, display_.scale)
        .translated(desktop::ScreenGeometry::pixelRect(display_).topLeft());
}

std::variant<std::unique_ptr<ScreenRecorder>, RecorderError>
ScreenRecorder::make(std::uint32_t displayID, const QRectF& region, const RecordingOptions& options,
                     const SinkFactory& sinks, const QString& folder,
                     const std::shared_ptr<PreparedSound>& prepared,
                     const std::shared_ptr<PreparedMovie>& movie) {
    std::unique_ptr<ScreenRecorder> recorder(new ScreenRecorder());
    ScreenRecorder& r = *recorder;
    r.options_ = options;
    bool found = false;
    for (const desktop::CaptureDisplay& display : desktop::ScreenGeometry::captureDisplays()) {
        if (display.displayID == displayID) {
            r.display_ = display;
            found = true;
            break;
        }
    }
    if (!found) {
        return RecorderError::capture(desktop::CaptureError::noDisplays);
    }
    const RecordingFilter& filter = r.options_.filter;
    if (filter.window && !platform::clientWindow(*filter.window)) {
        return RecorderError::capture(desktop::CaptureError::windowNotFound);
    }
    const QRect pixels = r.rootPixels(region);
    r.size_ = sinks.fittingSize(options.scale * region.width(), options.scale * region.height());

    // Sound first, opened ahead when it was asked for the same devices. A
    // device that cannot be had is left out of the movie and said on the
    // control bar, as a missing camera is: the pictures matter more than the
    // sound.
    std::shared_ptr<PreparedSound> sound = prepared;
    if (!sound || !sound->serves(r.options_.systemAudio, r.options_.microphone)) {
        sound = prepareSound(r.options_.systemAudio, r.options_.microphone);
    }
    r.route_->recorder = nullptr;
    r.route_ = sound->route;
    r.route_->recorder = &r;
    r.systemAudio_ = std::move(sound->system);
    r.microphone_ = std::move(sound->microphone);
    r.options_.systemAudio = r.systemAudio_ != nullptr;
    r.options_.microphone = r.microphone_ != nullptr;
    r.soundNote_ = missingSoundNote(sound->systemMissing, sound->microphoneMissing);
    const std::weak_ptr<Route> weak = r.route_;
    auto failure = [weak](const QString& message) { Route::reportFailure(weak, message); };
    const std::vector<AudioTrack> tracks =
        movieTracks(r.options_.systemAudio, r.options_.microphone);

    const QString directory = folder.isEmpty() ? recordingsFolder() : folder;
    if (movie && movie->serves(r.size_, r.options_, tracks, directory)) {
        r.path_ = movie->path;
        r.sink_ = std::move(movie->sink);
    } else {
        if (movie && movie->sink) {
            // Opened for another recording than this one: its file goes.
            std::exchange(movie->sink, nullptr)->cancel();
        }
        r.path_ = moviePath(directory);
        auto made = sinks.make(r.path_, r.size_, r.options_.fps, r.options_.bitsPerPixel, tracks);
        if (auto* error = std::get_if<WriterError>(&made)) {
            r.ended_ = true;
            return RecorderError::writer(*error);
        }
        r.sink_ = std::move(std::get<0>(made));
    }
    RecordingSink* sink = r.sink_.get();
    // A disk that fills up ends the recording at once; what was written stays.
    sink->setOnFailure(
        [weak](const WriterError& error) { Route::reportFailure(weak, error.description()); });
    // Sound flows in from now on: what comes before the first picture but
    // belongs after its moment is kept by the sink.
    r.route_->sink.store(sink);

    platform::FrameSource::Settings settings;
    settings.region = pixels;
    settings.outputSize = r.size_;
    settings.fps = r.options_.fps;
    settings.showCursor = r.options_.showCursor;
    if (filter.window) {
        settings.windows = filter.shown();
    } else {
        settings.windows =
            filter.leftOut(std::int32_t(::getpid()), desktop::WindowList::ownCapturableWindowIDs());
    }
    r.frameQueue_ = std::make_unique<desktop::SerialQueue>(QStringLiteral("Vexlin.screen-frames"));
    // Frames on their way to the writer's queue count as waiting for the
    // encoder too.
    auto posted = std::make_shared<std::atomic<int>>(0);
    auto started = platform::FrameSource::start(
        r.frameQueue_->context(), settings,
        // Into the writer's queue, ahead of the finish and cancel posted
        // there after them.
        [sink, posted](const platform::VideoFrame& frame) {
            posted->fetch_add(1);
            sink->queue().async([sink, frame, posted] {
                sink->appendVideo(frame);
                posted->fetch_sub(1);
            });
        },
        failure,
        // The encoder falling behind thins the ticks evenly; the frames keep
        // the instants of their ticks, so the movie lasts the time recorded.
        [sink, posted] {
            const platform::VideoBacklog backlog = sink->videoBacklog();
            if (backlog.capacity <= 0) {
                return 0.0;
            }
            return double(backlog.waiting + posted->load()) / backlog.capacity;
        });
    if (auto* message = std::get_if<QString>(&started)) {
        r.stop();
        return RecorderError::screen(*message);
    }
    r.frames_ = std::move(std::get<0>(started));
    return recorder;
}

void ScreenRecorder::endCapture() {
    // Sound first: its callbacks post onto the sink's queue, which the frame
    // source's stop then drains up to here.
    systemAudio_.reset();
    microphone_.reset();
    if (frames_) {
        frames_->stop();
    }
    route_->sink.store(nullptr);
    ended_ = true;
}

void ScreenRecorder::stop() {
    endCapture();
    if (sink_) {
        sink_->cancel();
    }
}

void ScreenRecorder::finish(std::function<void(std::variant<QString, WriterError>)> done) {
    const platform::HostTime end = platform::hostTimeNow();
    if (frames_) {
        frames_->stop();
    }
    if (!sink_) {
        endCapture();
        done(WriterError::failed(QCoreApplication::translate("recording::ScreenRecorder",
                                                             "The recording was not started.")));
        return;
    }
    // The sound of the stop's moment is still on its way (the sound server
    // hands it over a few tens of milliseconds later): the sound sources stay
    // until it has come, or a little while at most, so the sound track ends
    // where the pictures do.
    // The last picture lasts up to a frame past the stop, and so may the
    // sound; the movie's end cuts what is more.
    route_->soundEnd.store(end + 1'000'000'000 / std::max(options_.fps, 1));
    if (systemAudio_ || microphone_) {
        auto waited = std::make_shared<QElapsedTimer>();
        waited->start();
        waitForSoundTail(end, waited, std::make_shared<Done>(std::move(done)));
        return;
    }
    finishWriting(end, std::move(done));
}

void ScreenRecorder::waitForSoundTail(platform::HostTime end,
                                      const std::shared_ptr<QElapsedTimer>& waited,
                                      const std::shared_ptr<Done>& done) {
    const platform::HostTime until = route_->soundEnd.load();
    const bool heardAll = (!systemAudio_ || route_->heard[0].load() >= until) &&
                          (!microphone_ || route_->heard[1].load() >= until);
    if (heardAll || waited->elapsed() >= soundTailWaitMs) {
        finishWriting(end, std::move(*done));
        return;
    }
    const std::weak_ptr<Route> weak = route_;
    QTimer::singleShot(5, qApp, [weak, end, waited, done] {
        const std::shared_ptr<Route> route = weak.lock();
        if (route && route->recorder != nullptr && !route->recorder->ended_) {
            route->recorder->waitForSoundTail(end, waited, done);
        }
    });
}

void ScreenRecorder::finishWriting(platform::HostTime end, Done done) {
    endCapture();
    // The sink lives until it has answered, even when the recorder goes
    // first; it is let go of afterwards, not inside its own call.
    std::shared_ptr<RecordingSink> keep = sink_;
    const QString path = path_;
    sink_->finish(end, [keep, path, done = std::move(done)](std::optional<WriterError> error) {
        QTimer::singleShot(0, qApp, [keep] {});
        if (error) {
            done(*error);
        } else {
            done(path);
        }
    });
}

void ScreenRecorder::pause() {
    if (sink_ && !ended_) {
        sink_->pause();
    }
}

void ScreenRecorder::resume() {
    if (sink_ && !ended_) {
        sink_->resume();
    }
}

void ScreenRecorder::updateFilter(const RecordingFilter& filter) {
    if (!frames_ || ended_) {
        return;
    }
    if (filter.window) {
        if (platform::clientWindow(*filter.window)) {
            frames_->setWindows(filter.shown());
        }
        return;
    }
    frames_->setWindows(
        filter.leftOut(std::int32_t(::getpid()), desktop::WindowList::ownCapturableWindowIDs()));
}

void ScreenRecorder::update(const QRectF& region) {
    if (frames_ && !ended_) {
        frames_->setRegion(rootPixels(region));
    }
}

bool ScreenRecorder::canHideWindows() const {
    return frames_ && frames_->canCompose();
}

int ScreenRecorder::maximumFramesPerSecond() {
    int fastest = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        fastest = std::max(fastest, int(std::lround(screen->refreshRate())));
    }
    return fastest > 0 ? fastest : 60;
}

} // namespace recording
