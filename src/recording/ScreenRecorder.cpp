#include "recording/ScreenRecorder.h"

#include "recording/RecordingFiles.h"

#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"
#include "platform/AudioSource.h"
#include "platform/ClientWindows.h"
#include "platform/FrameSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QUuid>

#include <atomic>
#include <cmath>

#include <unistd.h>

namespace recording {

// What the capture threads reach: the sink once it exists, and the recorder
// to tell of a failure while it exists.
struct ScreenRecorder::Route {
    std::atomic<RecordingSink*> sink{nullptr};
    ScreenRecorder* recorder = nullptr; // main thread only
    bool failed = false;                // main thread only

    static void reportFailure(const std::weak_ptr<Route>& weak, const QString& message) {
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
};

namespace {

std::variant<std::unique_ptr<platform::AudioSource>, QString>
openAudio(platform::AudioSource::Device device, AudioTrack track,
          const std::shared_ptr<void>& routeKeeper, std::atomic<RecordingSink*>* sink,
          std::function<void(const QString&)> failure) {
    return platform::AudioSource::open(
        device,
        // Until the sink exists, sound is let go of.
        [routeKeeper, sink, track](platform::AudioChunk chunk) {
            RecordingSink* target = sink->load();
            if (target == nullptr) {
                return;
            }
            target->queue().async(
                [target, chunk = std::move(chunk), track] { target->appendAudio(chunk, track); });
        },
        std::move(failure));
}

} // namespace

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
                     const SinkFactory& sinks, const QString& folder) {
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

    // Sound first: a missing system sound ends here, before any file exists.
    const std::weak_ptr<Route> weak = r.route_;
    auto failure = [weak](const QString& message) { Route::reportFailure(weak, message); };
    if (r.options_.systemAudio) {
        auto opened = openAudio(platform::AudioSource::Device::systemOutput, AudioTrack::system,
                                r.route_, &r.route_->sink, failure);
        if (auto* message = std::get_if<QString>(&opened)) {
            return RecorderError::sound(
                QCoreApplication::translate("recording::ScreenRecorder",
                                            "The system's sound cannot be recorded: %1")
                    .arg(*message));
        }
        r.systemAudio_ = std::move(std::get<0>(opened));
    }
    if (r.options_.microphone) {
        auto opened = openAudio(platform::AudioSource::Device::microphone, AudioTrack::microphone,
                                r.route_, &r.route_->sink, failure);
        if (std::holds_alternative<QString>(opened)) {
            r.options_.microphone = false;
        } else {
            r.microphone_ = std::move(std::get<0>(opened));
        }
    }
    std::vector<AudioTrack> tracks;
    if (r.options_.systemAudio) {
        tracks.push_back(AudioTrack::system);
    }
    if (r.options_.microphone) {
        tracks.push_back(AudioTrack::microphone);
    }

    const QString directory = folder.isEmpty() ? recordingsFolder() : folder;
    QDir().mkpath(directory);
    r.path_ = QDir(directory).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) +
                                       QStringLiteral(".mp4"));
    auto made = sinks.make(r.path_, r.size_, r.options_.fps, r.options_.bitsPerPixel, tracks);
    if (auto* error = std::get_if<WriterError>(&made)) {
        r.ended_ = true;
        return RecorderError::writer(*error);
    }
    r.sink_ = std::move(std::get<0>(made));
    RecordingSink* sink = r.sink_.get();

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
    auto started = platform::FrameSource::start(
        r.frameQueue_->context(), settings,
        // Into the writer's queue, in order with the sound and with pause,
        // finish and cancel, which are posted there after the frames
        // before them.
        [sink](const platform::VideoFrame& frame) {
            sink->queue().async([sink, frame] { sink->appendVideo(frame); });
        },
        failure);
    if (auto* message = std::get_if<QString>(&started)) {
        r.stop();
        return RecorderError::screen(*message);
    }
    r.frames_ = std::move(std::get<0>(started));
    r.route_->sink.store(sink);
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
    endCapture();
    if (!sink_) {
        done(WriterError::failed(QCoreApplication::translate("recording::ScreenRecorder",
                                                             "The recording was not started.")));
        return;
    }
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
