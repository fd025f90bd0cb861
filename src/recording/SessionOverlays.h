#pragma once

#include "recording/SessionWindows.h"

#include <QRect>
#include <QSet>

#include <cstdint>

namespace recording {

// What a recording shows over the screen besides the session's own windows:
// the click and keystroke overlay and the camera bubble. They are drawn on
// screen, so the recorder captures them. The composition root supplies them;
// a session without them shows neither. Main thread only.
class SessionOverlays {
public:
    virtual ~SessionOverlays() = default;

    // The session's windows are up; the setup stays valid until stop().
    virtual void present(const SessionWindowsSetup& setup) = 0;
    // The recording started (again, after a restart): the click and
    // keystroke overlay appears as the model's options say, once.
    virtual void recordingStarted() = 0;
    // The followed window moved: display-local points.
    virtual void regionMoved(const QRect& region) = 0;
    // The camera option was set.
    virtual void cameraChanged(bool show) = 0;
    // Everything goes: no window, monitor, thread or timer stays.
    virtual void stop() = 0;
    // Their windows, which the recording must show.
    virtual QSet<std::uint32_t> windows() const = 0;
};

} // namespace recording
