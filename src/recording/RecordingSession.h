#pragma once

#include "app/Recording.h"
#include "desktop/CaptureDisplay.h"
#include "recording/RecordingFilter.h"
#include "recording/RecordingOptions.h"
#include "recording/RecordingSessionModel.h"
#include "recording/SessionWindows.h"
#include "recording/WriterError.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

class QTimer;

namespace app {
class Preferences;
}
namespace desktop {
class EscapeKey;
}
namespace platform {
class PermissionProbe;
}

namespace recording {

class WindowFollower;

// The running stream as the session drives it (ScreenRecorder behind it).
// Main thread only.
class SessionRecorder {
public:
    virtual ~SessionRecorder() = default;
    // Discards: the stream ends and its unfinished file goes.
    virtual void stop() = 0;
    // Ends the movie; `done` runs later on the main thread with its path or
    // the writer's error.
    virtual void finish(std::function<void(std::variant<QString, WriterError>)> done) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void updateFilter(const RecordingFilter& filter) = 0;
    virtual void update(const QRectF& region) = 0;
    // The movie's picture size in pixels, after fitting.
    virtual QSize size() const = 0;
    // Why sound that was asked for is not recorded; empty when all of it is.
    virtual QString soundNote() const { return {}; }
    // Called on the main thread when the stream stops by itself or the movie
    // cannot be written on; finish() then keeps what was written.
    std::function<void(const QString& message)> onFailure;
    // Called on the main thread with a new soundNote() (a sound source went
    // away while recording; the recording goes on).
    std::function<void(const QString& note)> onSoundNote;
};

// One screen recording from the chosen region until the finished recording
// is handed back: setup, an optional countdown, recording with pause and
// restart, then finishing (the movie, and the GIF made from it). It ends
// exactly once, by discard, failure or delivery; the completion then runs
// with the recording or with nothing, and every window, timer, grab and
// unfinished file is gone. Main thread only; long steps (the GIF, reading the
// movie's length and poster) run on other threads and each continuation
// checks that the session has not ended and its recorder is still the same.
class RecordingSession final : public QObject {
    Q_OBJECT

public:
    using Completion = std::function<void(const std::optional<app::Recording>& recording)>;
    using RecorderResult = std::variant<std::unique_ptr<SessionRecorder>, QString>;

    struct Services {
        app::Preferences* preferences = nullptr;
        platform::PermissionProbe* probe = nullptr;
        desktop::EscapeKey* escapeKey = nullptr;
        // The windows: the frame, the control panel with the bar, the
        // countdown, the overlays.
        std::function<std::unique_ptr<SessionWindows>()> makeWindows;
        // Starts a stream into `folder`; the recorder or why not.
        std::function<RecorderResult(const desktop::CaptureDisplay& display, const QRect& region,
                                     const RecordingOptions& options, const QString& folder)>
            makeRecorder;
        // Opens the sound devices that a recording with these choices will
        // take, ahead of it: while the recording is set up and counted down.
        // Both false lets them go.
        std::function<void(bool systemAudio, bool microphone)> prepareSound;
        // Opens the movie of a recording of `region` with these options into
        // `folder` ahead of it, during its countdown, for makeRecorder to
        // take. Nothing lets it go.
        std::function<void(const QRect& region, const std::optional<RecordingOptions>& options,
                           const QString& folder)>
            prepareMovie;
        // Follows a window recorded alone.
        std::function<std::unique_ptr<WindowFollower>(std::uint32_t windowID)> makeFollower;
        // The folder of working files.
        QString recordingsFolder;
        // Blocking: runs on another thread.
        std::function<std::optional<WriterError>(const QString& movie, const QString& gif, int fps,
                                                 double maxWidth)>
            exportGif;
        // The display's highest refresh rate; below 1 means unknown.
        std::function<int(const desktop::CaptureDisplay& display)> maximumFramesPerSecond;
        // "The recording stopped" with the error's text, modal.
        std::function<void(const QString& message, const QString& detail)> alert;
        // A short notice ("The window was closed.").
        std::function<void(const QString& title)> toast;
        // Monotonic seconds.
        std::function<double()> now;

        // The real ones: the shared settings, this machine, ScreenRecorder.
        // `makeWindows` stays empty.
        static Services system();
    };

    RecordingSession(const desktop::CaptureDisplay& display, const QRect& region,
                     std::optional<std::uint32_t> windowID, Completion completion,
                     Services services);
    ~RecordingSession() override;

    RecordingSessionModel& model() { return *model_; }
    const RecordingSessionModel& model() const { return *model_; }
    // The elapsed-time text on every update; nothing when the session ends.
    std::function<void(const std::optional<QString>& elapsed)> onProgress;

    void present();
    void start();
    void stop();
    void discard();
    void togglePause();
    void restart();

    // Whether the session has ended (its completion has run).
    bool hasEnded() const { return ended_; }
    QRect region() const { return region_; }
    bool hasRecorder() const { return recorder_ != nullptr; }
    // Whether Escape is held by the session (setup and countdown).
    bool holdsEscape() const { return escape_.has_value(); }

    // The options a recording starts with, from the model and the settings.
    static RecordingOptions makeOptions(const RecordingSessionModel& model,
                                        const app::Preferences& preferences, double displayScale,
                                        int displayMaximumFPS);
    // The pixels per point a finished movie holds: the scale it was started
    // with, or fitted width ÷ region width when fitting shrank the picture.
    static double recordedScale(double startScale, double regionWidth, int movieWidth);
    // The filter of this moment.
    RecordingFilter currentFilter() const;

    // Test hooks into the follower's reports.
    void layoutForRegion(const QRectF& windowFrame);
    void recordedWindowClosed();

private:
    void startRecording();
    void recorderStarted(std::unique_ptr<SessionRecorder> recorder, const RecordingFilter& filter,
                         const QRect& streamRegion);
    void countdownTick();
    RecordingOptions currentOptions() const;
    void startTicker();
    void updateElapsed();
    void applyFilter();
    void updateStreamRegion();
    void stopFollowing();
    void releaseEscape();
    void movieFinished(std::variant<QString, WriterError> result);
    void deliver(const QString& file, app::Recording::Format format);
    void finish(const QString& error);
    void recorderFailed(const QString& message);
    void prepareSound();
    void tearDown(const std::optional<app::Recording>& recording);
    void dropRecorder(std::unique_ptr<SessionRecorder> recorder);

    desktop::CaptureDisplay display_;
    QRect region_;
    std::optional<std::uint32_t> windowID_;
    Completion completion_;
    Services services_;
    std::unique_ptr<RecordingSessionModel> model_;
    std::unique_ptr<SessionWindows> windows_;
    std::unique_ptr<SessionRecorder> recorder_;
    std::unique_ptr<WindowFollower> follower_;
    QTimer* ticker_ = nullptr;
    QTimer* countdownTimer_ = nullptr;
    std::optional<int> escape_;
    std::optional<QRect> streamRegion_;
    QSize recordedSize_;
    // The scale and format the current recorder was started with.
    double startScale_ = 1;
    int movieWidth_ = 0;
    bool streamRegionPending_ = false;
    double startedAt_ = 0;
    std::optional<double> pausedAt_;
    double pausedTotal_ = 0;
    bool ended_ = false;
    bool countdownShown_ = false;
    // Why a running recording stopped by itself: what was recorded until then
    // is still delivered, and the alert follows.
    std::optional<QString> failure_;
    QDateTime date_;
    // Raised by every restart, stop and end: a pending update of an older
    // recorder sees it changed and acts no more.
    std::uint64_t generation_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace recording
