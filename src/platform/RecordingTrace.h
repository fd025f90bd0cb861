#pragma once

#include <QLoggingCategory>

#include <algorithm>
#include <cstdint>

namespace platform {

// Where a recording's frames go, told at its end when the category
// "vexlin.recording" is on (QT_LOGGING_RULES="vexlin.recording.info=true"):
// which ticks were taken, left out or missed and what each step cost, so a
// movie short of frames says at which step they were lost.
Q_DECLARE_LOGGING_CATEGORY(recordingTrace)

// Durations of one step, in nanoseconds.
struct StepTimes {
    std::int64_t count = 0;
    std::int64_t total = 0;
    std::int64_t longest = 0;

    void add(std::int64_t nanoseconds) {
        ++count;
        total += nanoseconds;
        longest = std::max(longest, nanoseconds);
    }
    double meanMs() const { return count > 0 ? double(total) / double(count) / 1e6 : 0.0; }
    double longestMs() const { return double(longest) / 1e6; }
};

} // namespace platform
