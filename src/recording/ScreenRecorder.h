#pragma once

#include "recording/RecorderError.h"
#include "recording/RecordingOptions.h"
#include "recording/RecordingSink.h"

#include "desktop/CaptureDisplay.h"
#include "desktop/SerialQueue.h"
#include "platform/MediaSamples.h"

#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <variant>

class QElapsedTimer;

namespace platform {
class AudioSource;
class FrameSource;
} // namespace platform

namespace recording {

// Records a display, an area or one window into a movie: the screen at a
// steady rate, the system's sound and the microphone, all stamped on the host
// clock and handed to the sink on its queue. Lives on the main thread; every
// operation is called there.
class ScreenRecorder {
public:
    // Sound devices opened ahead of a recording.
    class PreparedSound;
    // A movie opened ahead of a recording, its encoder warming up.
    class PreparedMovie;

    // `region`: the recorded rectangle in the display's points (origin at its
    // top-left); for a window, where the window is. The movie goes into
    // `folder` as <UUID>.mp4. Returns a recorder that is recording.
    //
    // A sound device that cannot be had (no sound server, no microphone):
    // the recording goes on without its track, and soundNote() says so. A
    // failure after the sink was made cancels it (its partial file goes).
    //
    // `sound`, from prepareSound() a while before, is taken when it opened
    // the devices these options ask for; `movie`, from prepareMovie(), when
    // it is the movie these options, this region and that sound make (else
    // it is discarded).
    static std::variant<std::unique_ptr<ScreenRecorder>, RecorderError>
    make(std::uint32_t displayID, const QRectF& region, const RecordingOptions& options,
         const SinkFactory& sinks = SinkFactory::movieWriter(), const QString& folder = {},
         const std::shared_ptr<PreparedSound>& sound = nullptr,
         const std::shared_ptr<PreparedMovie>& movie = nullptr);
    // Opens the movie of a recording ahead of it, during its countdown, and
    // lets its encoder set itself up there: an encoder's first pictures are
    // slow while it makes its buffers (a 4K movie's first second), and the
    // recording would lose its first ticks to that. Nothing when it cannot be
    // opened (make() then says why). Until a recorder takes it, letting go of
    // it removes its file.
    static std::shared_ptr<PreparedMovie>
    prepareMovie(const QRectF& region, const RecordingOptions& options,
                 const SinkFactory& sinks = SinkFactory::movieWriter(), const QString& folder = {},
                 const std::shared_ptr<PreparedSound>& sound = nullptr);
    // Opens the sound devices of a recording ahead of it, while the user sets
    // it up: a sound server may take a second or two to start handing a new
    // reader its sound (a null sink behind a player with a long latency), and
    // the recording should have it from its first picture. Until a recorder
    // takes them, their sound is let go of.
    static std::shared_ptr<PreparedSound> prepareSound(bool systemAudio, bool microphone);
    // Whether `sound` opened what these choices ask for and it still flows.
    static bool serves(const PreparedSound& sound, bool systemAudio, bool microphone);
    // A recorder neither stopped nor finished is stopped.
    ~ScreenRecorder();
    ScreenRecorder(const ScreenRecorder&) = delete;
    ScreenRecorder& operator=(const ScreenRecorder&) = delete;

    // Discards: ends the capture, then cancels the sink, which removes the file.
    void stop();
    // Ends the recording at this moment; `done` runs on the main thread with
    // the movie's path or the writer's error. The pictures end at once, the
    // sound when the sound of this moment has come (a fraction of a second).
    // After a failure it keeps what was written before it.
    void finish(std::function<void(std::variant<QString, WriterError>)> done);
    // Samples are dropped from now on, or taken again; capture goes on.
    void pause();
    void resume();
    // Applies a new filter to the running capture. For a window recording
    // whose window is gone nothing changes.
    void updateFilter(const RecordingFilter& filter);
    // A new source rectangle (same space as make's region); the output size
    // stays.
    void update(const QRectF& region);

    // Called on the main thread when capture stops by itself (the X server
    // went away) or the movie cannot be written on (a full disk), with why.
    // Samples already given stay in the sink; the caller decides what
    // becomes of them.
    std::function<void(const QString& message)> onFailure;
    // Called on the main thread with the new soundNote() when a sound source
    // goes away while recording (the sound server stopped): the pictures go
    // on, the sound is silent from there.
    std::function<void(const QString& note)> onSoundNote;

    QSize size() const { return size_; }
    QString path() const { return path_; }
    // The options it records with (the microphone turned off when there was
    // none).
    const RecordingOptions& options() const { return options_; }
    // Why sound that was asked for is not recorded, worded for the control
    // bar; empty when all of it is.
    QString soundNote() const { return soundNote_; }
    // Whether windows can be left out or recorded alone on this server
    // (Composite); without it nothing is hidden.
    bool canHideWindows() const;

    // The highest refresh rate of the screens; 60 without screens.
    static int maximumFramesPerSecond();

private:
    ScreenRecorder();
    using Done = std::function<void(std::variant<QString, WriterError>)>;
    void endCapture();
    void waitForSoundTail(platform::HostTime end, const std::shared_ptr<QElapsedTimer>& waited,
                          const std::shared_ptr<Done>& done);
    void finishWriting(platform::HostTime end, Done done);
    QRect rootPixels(const QRectF& region) const;

    struct Route;
    desktop::CaptureDisplay display_;
    QSize size_;
    QString path_;
    RecordingOptions options_;
    QString soundNote_;
    std::shared_ptr<Route> route_;
    std::shared_ptr<RecordingSink> sink_;
    // The screen is grabbed, composed and scaled on a thread of its own, so
    // that a slow grab never holds up the sound on the writer's queue, nor
    // the writer a grab; frames are then handed to the writer's queue.
    std::unique_ptr<desktop::SerialQueue> frameQueue_;
    std::unique_ptr<platform::FrameSource> frames_;
    std::unique_ptr<platform::AudioSource> systemAudio_;
    std::unique_ptr<platform::AudioSource> microphone_;
    bool ended_ = false;
};

} // namespace recording
