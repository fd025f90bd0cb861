#include "recording/RecordingTimeline.h"

#include <algorithm>

namespace recording {

namespace {
constexpr platform::HostTime stillLimit = 10'000'000'000; // ten seconds
}

std::optional<platform::HostTime> RecordingTimeline::video(HostTime t) {
    if (paused_) {
        return std::nullopt;
    }
    if (!sessionStart_) {
        sessionStart_ = t;
    }
    applyResume(t);
    return movieTime(t);
}

std::optional<platform::HostTime> RecordingTimeline::audio(HostTime t, HostTime length) {
    if (paused_ || !sessionStart_) {
        return std::nullopt;
    }
    applyResume(t);
    if (t - pauseOffset_ < *sessionStart_ &&
        (length <= 0 || t + length - pauseOffset_ <= *sessionStart_)) {
        return std::nullopt;
    }
    return movieTime(t);
}

void RecordingTimeline::appended(HostTime t, bool picture) {
    if (!lastSourceTime_ || t > *lastSourceTime_) {
        lastSourceTime_ = t;
    }
    if (picture && (!lastPicture_ || t > *lastPicture_)) {
        lastPicture_ = t;
    }
}

void RecordingTimeline::pause(HostTime at) {
    if (!paused_) {
        paused_ = true;
        pausedAt_ = at;
    }
}

void RecordingTimeline::resume() {
    if (paused_) {
        paused_ = false;
        resumePending_ = true;
    }
}

void RecordingTimeline::applyResume(HostTime t) {
    if (!resumePending_) {
        return;
    }
    resumePending_ = false;
    if (!lastSourceTime_) {
        return;
    }
    // What ran before the pause stays in the movie, frames or not: the cut
    // starts where the last sample ended or where the pause came, whichever
    // is later, and the first sample after it follows on at once.
    const HostTime cutFrom = std::max(*lastSourceTime_ + frameDuration_, pausedAt_);
    const HostTime gap = t - cutFrom;
    if (gap > 0) {
        pauseOffset_ += gap;
    }
}

std::optional<platform::HostTime> RecordingTimeline::end(std::optional<HostTime> endTime) const {
    if (!sessionStart_ || !lastSourceTime_) {
        return std::nullopt;
    }
    const HostTime last = *lastSourceTime_ + frameDuration_;
    HostTime end = last;
    if (!paused_ && endTime && *endTime > last && *endTime - last < stillLimit) {
        end = *endTime;
    } else if (!paused_ && endTime && *endTime < last) {
        const HostTime picture = lastPicture_ ? *lastPicture_ + frameDuration_ : *endTime;
        end = std::max(*endTime, picture);
    }
    return movieTime(end);
}

} // namespace recording
