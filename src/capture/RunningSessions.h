#pragma once

namespace capture {

// What the coordinator needs of a running recording session: its phase and
// the start and stop that the record action toggles.
class RecordingSessionControl {
public:
    enum class Phase { setup, countdown, recording, finishing };

    virtual ~RecordingSessionControl() = default;
    virtual Phase phase() const = 0;
    // Acts only in the setup phase.
    virtual void start() = 0;
    // Acts only while recording.
    virtual void stop() = 0;
};

// What the coordinator needs of a running scrolling capture: the flag that
// says it is finishing, and the finish itself (the same as its Done button).
class ScrollingSessionControl {
public:
    virtual ~ScrollingSessionControl() = default;
    virtual bool isFinished() const = 0;
    virtual void setFinished() = 0;
    virtual void finish() = 0;
};

} // namespace capture
