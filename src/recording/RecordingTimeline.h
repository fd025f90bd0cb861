#pragma once

#include "platform/MediaSamples.h"

#include <optional>

namespace recording {

// Where each sample of a recording lands in the movie: host-clock times in,
// nanoseconds from the movie's start out, with paused stretches taken out.
// The movie starts at the first picture; sound before it is dropped.
class RecordingTimeline {
public:
    using HostTime = platform::HostTime;

    explicit RecordingTimeline(HostTime frameDuration) : frameDuration_(frameDuration) {}

    // The movie time of a picture taken at `t`, or nothing while paused. The
    // first picture starts the movie.
    std::optional<HostTime> video(HostTime t);
    // The movie time of sound starting at `t` and lasting `length`, or
    // nothing while paused, before the first picture, or when it ends before
    // the movie's start once shifted. Sound that starts before the movie and
    // ends after its start lands before 0: its first part is cut.
    std::optional<HostTime> audio(HostTime t, HostTime length = 0);
    // A sample taken at `t` went into the movie: a picture, or sound.
    void appended(HostTime t, bool picture);

    // `at` is when the user paused, on the host clock. A pause while paused
    // changes nothing, as does a resume while running.
    void pause(HostTime at);
    void resume();

    bool isPaused() const { return paused_; }
    bool hasStarted() const { return sessionStart_.has_value(); }
    bool hasAppended() const { return lastSourceTime_.has_value(); }
    HostTime pauseOffset() const { return pauseOffset_; }

    // The movie's end for a finish asked for at `endTime`: the end of the last
    // sample appended, or the stop itself when it came less than ten seconds
    // after that (a still screen keeps its last picture until the stop) and
    // the recording was not paused. Sound stamped after the stop (a source
    // that hands over faster than it plays) does not make the movie longer
    // than the stop and its last picture. Nothing when nothing was appended.
    std::optional<HostTime> end(std::optional<HostTime> endTime) const;

private:
    void applyResume(HostTime t);
    HostTime movieTime(HostTime t) const { return t - pauseOffset_ - *sessionStart_; }

    HostTime frameDuration_;
    std::optional<HostTime> sessionStart_;
    bool paused_ = false;
    bool resumePending_ = false;
    HostTime pausedAt_ = 0;
    HostTime pauseOffset_ = 0;
    std::optional<HostTime> lastSourceTime_;
    std::optional<HostTime> lastPicture_;
};

} // namespace recording
