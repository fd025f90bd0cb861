#include "recording/RecordingSession.h"

#include "app/Preferences.h"
#include "desktop/EscapeKey.h"
#include "platform/MovieReader.h"
#include "platform/PermissionProbe.h"
#include "recording/GifExport.h"
#include "recording/RecordingFiles.h"
#include "recording/ScreenRecorder.h"
#include "recording/WindowFollower.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QMessageBox>
#include <QThreadPool>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace recording {

namespace {

constexpr int countdownIntervalMs = 1000;
constexpr int tickerIntervalMs = 250;
// Smaller window moves than this leave the region as it was.
constexpr int minimumFollowedSide = 16;

// The ScreenRecorder behind the session's interface.
class StreamRecorder final : public SessionRecorder {
public:
    explicit StreamRecorder(std::unique_ptr<ScreenRecorder> recorder)
        : recorder_(std::move(recorder)) {
        recorder_->onFailure = [this](const QString& message) {
            if (onFailure)
                onFailure(message);
        };
        recorder_->onSoundNote = [this](const QString& note) {
            if (onSoundNote)
                onSoundNote(note);
        };
    }
    void stop() override { recorder_->stop(); }
    void finish(std::function<void(std::variant<QString, WriterError>)> done) override {
        recorder_->finish(std::move(done));
    }
    void pause() override { recorder_->pause(); }
    void resume() override { recorder_->resume(); }
    void updateFilter(const RecordingFilter& filter) override { recorder_->updateFilter(filter); }
    void update(const QRectF& region) override { recorder_->update(region); }
    QSize size() const override { return recorder_->size(); }
    QString soundNote() const override { return recorder_->soundNote(); }

private:
    std::unique_ptr<ScreenRecorder> recorder_;
};

// Runs `work` on a pool thread, then `done` with its result on the main
// thread, unless `alive` has gone by then.
template <typename Result>
void offMainThread(std::weak_ptr<bool> alive, std::function<Result()> work,
                   std::function<void(Result)> done) {
    QThreadPool::globalInstance()->start([alive, work = std::move(work), done = std::move(done)] {
        Result result = work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [alive, done, result = std::move(result)]() mutable {
                if (!alive.expired())
                    done(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

struct MovieFacts {
    double duration = 0;
    QImage poster;
};

// The length of a movie and its poster: 0.1 s in, or half way into a
// shorter movie; from the start when the length is unknown.
MovieFacts readMovie(const QString& path) {
    MovieFacts facts;
    std::unique_ptr<platform::MovieReader> reader = platform::MovieReader::open(path);
    if (!reader)
        return facts;
    const std::optional<double> duration = reader->duration();
    facts.duration = duration.value_or(0);
    const double at = duration ? std::min(0.5 * *duration, 0.1) : 0;
    facts.poster = reader->frameAt(std::round(at * 600) / 600, QSize(1200, 1200));
    return facts;
}

MovieFacts readGif(const QString& path) {
    MovieFacts facts;
    QImageReader reader(path);
    if (!reader.canRead())
        return facts;
    facts.poster = reader.read();
    facts.duration = gifDuration(path);
    return facts;
}

} // namespace

RecordingSession::Services RecordingSession::Services::system() {
    Services services;
    services.preferences = &app::Preferences::shared();
    services.probe = &platform::PermissionProbe::system();
    services.escapeKey = &desktop::globalEscapeKey();
    // The sound opened while the recording is set up, for its recorder.
    auto prepared = std::make_shared<std::shared_ptr<ScreenRecorder::PreparedSound>>();
    services.prepareSound = [prepared](bool systemAudio, bool microphone) {
        if (!systemAudio && !microphone) {
            prepared->reset();
        } else if (!*prepared || !ScreenRecorder::serves(**prepared, systemAudio, microphone)) {
            prepared->reset();
            *prepared = ScreenRecorder::prepareSound(systemAudio, microphone);
        }
    };
    // The movie opened during the countdown, its encoder warming up.
    auto movie = std::make_shared<std::shared_ptr<ScreenRecorder::PreparedMovie>>();
    services.prepareMovie = [prepared, movie](const QRect& region,
                                              const std::optional<RecordingOptions>& options,
                                              const QString& folder) {
        movie->reset();
        if (options)
            *movie = ScreenRecorder::prepareMovie(QRectF(region), *options,
                                                  SinkFactory::movieWriter(), folder, *prepared);
    };
    services.makeRecorder = [prepared, movie](const desktop::CaptureDisplay& display,
                                              const QRect& region, const RecordingOptions& options,
                                              const QString& folder) -> RecorderResult {
        auto made = ScreenRecorder::make(
            display.displayID, QRectF(region), options, SinkFactory::movieWriter(), folder,
            std::exchange(*prepared, nullptr), std::exchange(*movie, nullptr));
        if (auto* error = std::get_if<RecorderError>(&made))
            return error->description();
        return std::make_unique<StreamRecorder>(
            std::move(std::get<std::unique_ptr<ScreenRecorder>>(made)));
    };
    services.makeFollower = [](std::uint32_t windowID) {
        return std::make_unique<WindowFollower>(windowID);
    };
    services.recordingsFolder = recording::recordingsFolder();
    services.exportGif = [](const QString& movie, const QString& gif, int fps, double maxWidth) {
        return recording::exportGif(movie, gif, fps, maxWidth);
    };
    services.maximumFramesPerSecond = [](const desktop::CaptureDisplay& display) {
        if (display.screen)
            return static_cast<int>(std::lround(display.screen->refreshRate()));
        return ScreenRecorder::maximumFramesPerSecond();
    };
    services.alert = [](const QString& message, const QString& detail) {
        QMessageBox box(QMessageBox::Warning, message, message);
        box.setInformativeText(detail);
        QApplication::setActiveWindow(&box);
        box.exec();
    };
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    services.now = [] { return clock.nsecsElapsed() / 1e9; };
    return services;
}

RecordingSession::RecordingSession(const desktop::CaptureDisplay& display, const QRect& region,
                                   std::optional<std::uint32_t> windowID, Completion completion,
                                   Services services)
    : display_(display)
    , region_(region)
    , windowID_(windowID)
    , completion_(std::move(completion))
    , services_(std::move(services))
    , model_(std::make_unique<RecordingSessionModel>(*services_.preferences, *services_.probe))
    , date_(QDateTime::currentDateTime()) {
    startedAt_ = services_.now();
    model_->setRecordsWindowOnly(windowID_.has_value());
}

RecordingSession::~RecordingSession() {
    // A session dropped before it ended lets go of everything without a
    // word: no completion, no alert.
    if (!ended_) {
        ended_ = true;
        releaseEscape();
        stopFollowing();
        if (windows_)
            windows_->close();
        if (recorder_)
            recorder_->stop();
    }
}

RecordingOptions RecordingSession::makeOptions(const RecordingSessionModel& model,
                                               const app::Preferences& preferences,
                                               double displayScale, int displayMaximumFPS) {
    RecordingOptions options;
    const bool gif = model.format() == app::Recording::Format::gif;
    options.systemAudio = !gif && model.systemAudio();
    // Any system here can record a microphone.
    options.microphone = !gif && model.microphone();
    options.showCursor = model.showCursor();
    if (gif) {
        options.fps = static_cast<int>(std::max<qint64>(preferences.gifFPS(), 15));
    } else {
        options.fps = static_cast<int>(preferences.recordingFPS());
        if (options.fps == 0)
            options.fps = displayMaximumFPS >= 1 ? displayMaximumFPS : 60;
    }
    options.bitsPerPixel =
        preferences.recordingQuality() == app::RecordingQuality::high ? 0.1 : 0.05;
    options.scale = preferences.recordingRetina() ? displayScale : 1.0;
    return options;
}

double RecordingSession::recordedScale(double startScale, double regionWidth, int movieWidth) {
    // The writer rounds an odd width down to an even one; that is no shrink.
    if (regionWidth > 0 && movieWidth > 0 && movieWidth + 1 < std::floor(startScale * regionWidth))
        return movieWidth / regionWidth;
    return startScale;
}

RecordingFilter RecordingSession::currentFilter() const {
    RecordingFilter filter;
    filter.hiddenApps = model_->hiddenApps();
    filter.hideNotifications = model_->hideNotifications();
    if (windows_)
        filter.recordedWindows = windows_->recordedWindows();
    filter.window = windowID_;
    return filter;
}

void RecordingSession::present() {
    if (ended_ || windows_)
        return;
    const std::weak_ptr<bool> alive = alive_;
    auto guarded = [this, alive](void (RecordingSession::*step)()) {
        return [this, alive, step] {
            if (!alive.expired())
                (this->*step)();
        };
    };
    if (services_.makeWindows)
        windows_ = services_.makeWindows();
    if (windows_) {
        SessionWindowsSetup setup;
        setup.model = model_.get();
        setup.display = display_;
        setup.region = region_;
        setup.windowID = windowID_;
        setup.actions = {guarded(&RecordingSession::start), guarded(&RecordingSession::discard),
                         guarded(&RecordingSession::togglePause),
                         guarded(&RecordingSession::restart), guarded(&RecordingSession::stop)};
        setup.reservesInputMonitoringNote =
            !services_.probe->status(platform::Permission::inputMonitoring).granted;
        setup.reservesCameraNote = !services_.probe->status(platform::Permission::camera).granted;
        windows_->present(setup);
    }
    model_->onFilterChange = guarded(&RecordingSession::applyFilter);
    model_->onCameraChange = [this, alive] {
        if (alive.expired() || ended_ || !windows_)
            return;
        windows_->cameraChanged(model_->showCamera());
        // A bubble made or closed mid-recording joins or leaves the frames.
        applyFilter();
    };
    if (model_->showCamera() && windows_)
        windows_->cameraChanged(true);
    if (windowID_ && services_.makeFollower) {
        follower_ = services_.makeFollower(*windowID_);
        follower_->onMove = [this, alive](const QRectF& frame) {
            if (!alive.expired())
                layoutForRegion(frame);
        };
        follower_->onClose = guarded(&RecordingSession::recordedWindowClosed);
        follower_->start();
    }
    if (services_.escapeKey)
        escape_ = services_.escapeKey->holdEscape(guarded(&RecordingSession::discard));
    for (auto changed :
         {&RecordingSessionModel::systemAudioChanged, &RecordingSessionModel::microphoneChanged}) {
        connect(model_.get(), changed, this, &RecordingSession::prepareSound);
    }
    connect(model_.get(), &RecordingSessionModel::formatChanged, this,
            &RecordingSession::prepareSound);
    prepareSound();
}

void RecordingSession::prepareSound() {
    const SessionPhase phase = model_->phase();
    if (ended_ || !services_.prepareSound ||
        !(phase.is(SessionPhase::Kind::setup) || phase.is(SessionPhase::Kind::countdown)))
        return;
    const bool video = model_->format() == app::Recording::Format::video;
    services_.prepareSound(video && model_->systemAudio(), video && model_->microphone());
}

void RecordingSession::start() {
    if (ended_ || !model_->phase().is(SessionPhase::Kind::setup))
        return;
    const qint64 countdown = services_.preferences->recordingCountdown();
    if (countdown >= 1) {
        model_->setPhase(SessionPhase::countdown(static_cast<int>(countdown)));
        if (windows_)
            windows_->showCountdown();
        countdownShown_ = true;
        countdownTimer_ = new QTimer(this);
        countdownTimer_->setInterval(countdownIntervalMs);
        connect(countdownTimer_, &QTimer::timeout, this, &RecordingSession::countdownTick);
        countdownTimer_->start();
        // The movie's encoder sets itself up while the seconds are counted.
        if (services_.prepareMovie)
            services_.prepareMovie(region_, currentOptions(), services_.recordingsFolder);
        return;
    }
    startRecording();
}

void RecordingSession::countdownTick() {
    const SessionPhase phase = model_->phase();
    if (!phase.is(SessionPhase::Kind::countdown))
        return;
    if (phase.secondsLeft < 2) {
        delete countdownTimer_;
        countdownTimer_ = nullptr;
        if (windows_ && countdownShown_)
            windows_->hideCountdown();
        countdownShown_ = false;
        startRecording();
        return;
    }
    model_->setPhase(SessionPhase::countdown(phase.secondsLeft - 1));
}

RecordingOptions RecordingSession::currentOptions() const {
    const int maximumFPS =
        services_.maximumFramesPerSecond ? services_.maximumFramesPerSecond(display_) : 0;
    return makeOptions(*model_, *services_.preferences, display_.scale, maximumFPS);
}

void RecordingSession::startRecording() {
    releaseEscape();
    RecordingOptions options = currentOptions();
    model_->setPhase(SessionPhase::recording());
    if (windows_)
        windows_->recordingStarted();
    options.filter = currentFilter();
    recordedSize_ = region_.size();
    const QRect streamRegion = region_;
    const std::uint64_t generation = ++generation_;
    const std::weak_ptr<bool> alive = alive_;
    // The stream starts once the phase has been drawn.
    QTimer::singleShot(0, this, [this, alive, generation, options, streamRegion] {
        if (alive.expired())
            return;
        if (ended_ || generation != generation_)
            return;
        RecorderResult made =
            services_.makeRecorder(display_, streamRegion, options, services_.recordingsFolder);
        if (auto* error = std::get_if<QString>(&made)) {
            finish(*error);
            return;
        }
        startScale_ = options.scale;
        recorderStarted(std::move(std::get<std::unique_ptr<SessionRecorder>>(made)), options.filter,
                        streamRegion);
    });
}

void RecordingSession::recorderStarted(std::unique_ptr<SessionRecorder> recorder,
                                       const RecordingFilter& filter, const QRect& streamRegion) {
    const std::weak_ptr<bool> alive = alive_;
    SessionRecorder* raw = recorder.get();
    recorder->onFailure = [this, alive, raw](const QString& message) {
        if (!alive.expired() && recorder_.get() == raw)
            recorderFailed(message);
    };
    recorder->onSoundNote = [this, alive, raw](const QString& note) {
        if (!alive.expired() && !ended_ && recorder_.get() == raw)
            model_->setSoundNote(note);
    };
    if (ended_) {
        recorder->stop();
        return;
    }
    recorder_ = std::move(recorder);
    model_->setSoundNote(recorder_->soundNote());
    movieWidth_ = recorder_->size().width();
    streamRegion_ = streamRegion;
    if (currentFilter() != filter)
        applyFilter();
    if (region_ != *streamRegion_)
        updateStreamRegion();
    startedAt_ = services_.now();
    pausedTotal_ = 0;
    pausedAt_.reset();
    startTicker();
}

void RecordingSession::startTicker() {
    delete ticker_;
    updateElapsed();
    ticker_ = new QTimer(this);
    ticker_->setInterval(tickerIntervalMs);
    connect(ticker_, &QTimer::timeout, this, &RecordingSession::updateElapsed);
    ticker_->start();
}

void RecordingSession::updateElapsed() {
    const double now = services_.now();
    const double paused = pausedTotal_ + (pausedAt_ ? now - *pausedAt_ : 0);
    model_->setElapsed(std::max(0.0, now - startedAt_ - paused));
    if (onProgress)
        onProgress(app::durationText(model_->elapsed()));
}

void RecordingSession::togglePause() {
    if (ended_ || !model_->phase().is(SessionPhase::Kind::recording) || !recorder_)
        return;
    if (!model_->isPaused()) {
        recorder_->pause();
        pausedAt_ = services_.now();
    } else {
        recorder_->resume();
        if (pausedAt_)
            pausedTotal_ += services_.now() - *pausedAt_;
        pausedAt_.reset();
    }
    model_->setPaused(!model_->isPaused());
    updateElapsed();
}

void RecordingSession::restart() {
    if (ended_ || !model_->phase().is(SessionPhase::Kind::recording) || !recorder_)
        return;
    std::unique_ptr<SessionRecorder> old = std::move(recorder_);
    ++generation_;
    delete ticker_;
    ticker_ = nullptr;
    model_->setPaused(false);
    old->stop();
    if (ended_)
        return;
    model_->setPhase(SessionPhase::setup());
    startRecording();
}

void RecordingSession::discard() {
    if (ended_)
        return;
    std::unique_ptr<SessionRecorder> old = std::move(recorder_);
    ++generation_;
    if (old)
        old->stop();
    tearDown(std::nullopt);
}

void RecordingSession::stop() {
    if (ended_ || !model_->phase().is(SessionPhase::Kind::recording) || !recorder_)
        return;
    std::unique_ptr<SessionRecorder> taken = std::move(recorder_);
    ++generation_;
    delete ticker_;
    ticker_ = nullptr;
    stopFollowing();
    //: Recording status while the video file is finished
    model_->setPhase(SessionPhase::finishing(tr("Saving…")));
    const std::weak_ptr<bool> alive = alive_;
    SessionRecorder* raw = taken.get();
    // The recorder stays alive until its finish has reported.
    auto held = std::make_shared<std::unique_ptr<SessionRecorder>>(std::move(taken));
    raw->finish([this, alive, held](std::variant<QString, WriterError> result) {
        // Gone once its own call is over.
        std::shared_ptr<SessionRecorder> keep(std::move(*held));
        QTimer::singleShot(0, QCoreApplication::instance(), [keep] {});
        if (!alive.expired())
            movieFinished(std::move(result));
    });
}

void RecordingSession::movieFinished(std::variant<QString, WriterError> result) {
    if (ended_) {
        // Ended meanwhile: the movie is nobody's.
        if (const QString* path = std::get_if<QString>(&result))
            QFile::remove(*path);
        return;
    }
    if (const WriterError* error = std::get_if<WriterError>(&result)) {
        finish(error->description());
        return;
    }
    const QString movie = std::get<QString>(result);
    if (windows_)
        windows_->stopOverlays();
    // After a failure (a full disk) the movie is what there is: no GIF is
    // made of it where there may be no room for one.
    if (model_->format() == app::Recording::Format::video || failure_) {
        deliver(movie, app::Recording::Format::video);
        return;
    }
    //: Recording status while the movie is converted into an animated GIF
    model_->setPhase(SessionPhase::finishing(tr("Creating GIF…")));
    const QString gif =
        QDir(services_.recordingsFolder)
            .filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".gif"));
    const int fps = static_cast<int>(services_.preferences->gifFPS());
    const double maxWidth = std::min<double>(
        recordedSize_.width(), static_cast<double>(services_.preferences->gifMaxWidth()));
    auto exportGif = services_.exportGif;
    offMainThread<std::optional<WriterError>>(
        alive_,
        [exportGif, movie, gif, fps, maxWidth] { return exportGif(movie, gif, fps, maxWidth); },
        [this, movie, gif](std::optional<WriterError> error) {
            if (ended_) {
                QFile::remove(gif);
                return;
            }
            if (error) {
                finish(error->description());
                return;
            }
            QFile::remove(movie);
            deliver(gif, app::Recording::Format::gif);
        });
}

void RecordingSession::deliver(const QString& file, app::Recording::Format format) {
    const bool gif = format == app::Recording::Format::gif;
    const double scale = gif ? 1.0 : recordedScale(startScale_, recordedSize_.width(), movieWidth_);
    offMainThread<MovieFacts>(
        alive_, [file, gif] { return gif ? readGif(file) : readMovie(file); },
        [this, file, format, scale](MovieFacts facts) {
            if (ended_)
                return;
            app::Recording recording;
            recording.url = QUrl::fromLocalFile(file);
            recording.date = date_;
            recording.format = format;
            recording.duration = facts.duration;
            recording.scale = scale;
            recording.thumbnail = facts.poster;
            // The completion may drop the session.
            const auto alert = services_.alert;
            const std::optional<QString> failure = failure_;
            tearDown(recording);
            if (failure && alert) {
                //: Alert title when a recording ends because of an error
                alert(tr("The recording stopped"),
                      //: After why a recording stopped; the argument is the movie's path
                      *failure + QLatin1Char(' ') +
                          tr("What was recorded until then is kept: “%1”.")
                              .arg(QDir::toNativeSeparators(file)));
            }
        });
}

void RecordingSession::recorderFailed(const QString& message) {
    if (ended_ || failure_)
        return;
    if (!recorder_ || !model_->phase().is(SessionPhase::Kind::recording)) {
        finish(message);
        return;
    }
    // What was recorded is finished into a movie and delivered; the alert
    // says why the recording stopped and where that movie is.
    failure_ = message;
    if (model_->isPaused()) {
        recorder_->resume();
        model_->setPaused(false);
    }
    stop();
}

void RecordingSession::finish(const QString& error) {
    if (ended_)
        return;
    std::unique_ptr<SessionRecorder> old = std::move(recorder_);
    ++generation_;
    if (old)
        old->stop();
    // The completion may drop the session.
    const auto alert = services_.alert;
    //: Alert title when a recording ends because of an error
    const QString message = tr("The recording stopped");
    // What stopped the recording says more than what then failed to keep it.
    const QString detail = failure_.value_or(error);
    tearDown(std::nullopt);
    if (alert)
        alert(message, detail);
}

void RecordingSession::tearDown(const std::optional<app::Recording>& recording) {
    if (ended_)
        return;
    ended_ = true;
    ++generation_;
    releaseEscape();
    delete ticker_;
    ticker_ = nullptr;
    delete countdownTimer_;
    countdownTimer_ = nullptr;
    stopFollowing();
    if (services_.prepareSound)
        services_.prepareSound(false, false);
    if (services_.prepareMovie)
        services_.prepareMovie({}, std::nullopt, {});
    if (windows_)
        windows_->close();
    if (onProgress)
        onProgress(std::nullopt);
    if (completion_) {
        // The completion may drop the session: nothing of it is used after.
        Completion completion = std::move(completion_);
        completion(recording);
    }
}

void RecordingSession::releaseEscape() {
    if (escape_ && services_.escapeKey)
        services_.escapeKey->releaseEscape(*escape_);
    escape_.reset();
}

void RecordingSession::stopFollowing() {
    if (follower_) {
        follower_->stop();
        follower_->onMove = nullptr;
        follower_->onClose = nullptr;
        // It may be the caller.
        follower_.release()->deleteLater();
    }
    streamRegionPending_ = false;
}

void RecordingSession::applyFilter() {
    if (ended_ || !recorder_)
        return;
    // Posted events run in order: the updates reach the stream one after
    // another, each with the filter of the moment it runs.
    const std::weak_ptr<bool> alive = alive_;
    const std::uint64_t generation = generation_;
    QTimer::singleShot(0, this, [this, alive, generation] {
        if (alive.expired() || ended_ || generation != generation_ || !recorder_)
            return;
        recorder_->updateFilter(currentFilter());
    });
}

void RecordingSession::updateStreamRegion() {
    if (ended_ || !recorder_)
        return;
    const std::weak_ptr<bool> alive = alive_;
    const std::uint64_t generation = generation_;
    streamRegionPending_ = true;
    QTimer::singleShot(0, this, [this, alive, generation] {
        if (alive.expired() || ended_ || generation != generation_ || !recorder_ ||
            !streamRegionPending_)
            return;
        if (streamRegion_ && *streamRegion_ == region_)
            return;
        streamRegion_ = region_;
        recorder_->update(QRectF(region_));
    });
}

void RecordingSession::layoutForRegion(const QRectF& windowFrame) {
    if (ended_)
        return;
    const QRect local = windowFrame.translated(-display_.frame.topLeft()).toAlignedRect();
    const QRect bounds(0, 0, static_cast<int>(display_.frame.width()),
                       static_cast<int>(display_.frame.height()));
    const QRect visible = local.intersected(bounds);
    if (visible.isEmpty() || visible.width() < minimumFollowedSide ||
        visible.height() < minimumFollowedSide || visible == region_)
        return;
    region_ = visible;
    if (windows_)
        windows_->regionMoved(region_);
    updateStreamRegion();
}

void RecordingSession::recordedWindowClosed() {
    if (ended_)
        return;
    stopFollowing();
    const SessionPhase phase = model_->phase();
    if (phase.is(SessionPhase::Kind::finishing))
        return;
    if (phase.is(SessionPhase::Kind::recording) && recorder_) {
        stop();
        if (services_.toast) {
            services_.toast(tr("The window was closed, so the recording stopped."));
        }
        return;
    }
    const auto toast = services_.toast; // the discard may drop the session
    discard();
    if (toast) {
        //: Toast when the window chosen for a recording closes before recording started
        toast(tr("The window was closed."));
    }
}

} // namespace recording
