#pragma once

#include "desktop/CaptureDisplay.h"

#include <QRect>
#include <QSet>

#include <cstdint>
#include <functional>
#include <optional>

namespace recording {

class RecordingSessionModel;

// What the control bar calls to act on its session. Each one holds the
// session weakly and does nothing once it is gone. The options go through the
// model's setters, not through these.
struct SessionActions {
    std::function<void()> onRecord;  // start (setup only)
    std::function<void()> onCancel;  // discard, in any phase
    std::function<void()> onPause;   // pause or resume (recording only)
    std::function<void()> onRestart; // throw the take away and record again
    std::function<void()> onStop;    // stop and keep
};

// What the windows are shown with.
struct SessionWindowsSetup {
    // Read by the bar and the countdown; it outlives the windows.
    RecordingSessionModel* model = nullptr;
    desktop::CaptureDisplay display;
    // Display-local points, top-left origin.
    QRect region;
    // The window recorded alone, if any.
    std::optional<std::uint32_t> windowID;
    SessionActions actions;
    // Read once as the bar is made: whether keystrokes cannot be read, and
    // whether the camera cannot be opened. A note not reserved is never shown.
    bool reservesInputMonitoringNote = false;
    bool reservesCameraNote = false;
};

// The windows of one recording session: the frame around the region, the
// control panel with the bar, the countdown panel, the click and keystroke
// overlay and the camera bubble. The session drives them through these calls;
// what the bar and the countdown show (phase with its countdown number or
// finishing text, pause, elapsed time, options) they read from the model and
// follow its change signals. Main thread only.
class SessionWindows {
public:
    virtual ~SessionWindows() = default;

    // Setup: the frame in the dimmed style and the control panel, placed once.
    virtual void present(const SessionWindowsSetup& setup) = 0;
    // The countdown panel centred on the region; its number is the model's
    // countdown phase.
    virtual void showCountdown() = 0;
    // The countdown is over (or was cancelled): the panel goes.
    virtual void hideCountdown() = 0;
    // The frame switches to the recording style; the click and keystroke
    // overlay appears as the model's options say (once: a restart keeps it).
    virtual void recordingStarted() = 0;
    // A followed window moved: the frame, the keystroke label and a camera
    // bubble made for the window follow it. The panel stays.
    virtual void regionMoved(const QRect& region) = 0;
    // The camera option was set: show the bubble when on, hide it when off.
    virtual void cameraChanged(bool show) = 0;
    // The movie is finished: the overlay and the camera bubble go.
    virtual void stopOverlays() = 0;
    // Our own windows that must appear in the recording although this program
    // is left out of it (the overlay, the camera bubble).
    virtual QSet<std::uint32_t> recordedWindows() const = 0;
    // The end: the overlay and the camera go, then the frame, the control
    // panel and the countdown panel, in that order. Nothing is left mapped.
    virtual void close() = 0;
};

} // namespace recording
