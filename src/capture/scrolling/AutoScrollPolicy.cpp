#include "capture/scrolling/AutoScrollPolicy.h"

#include <algorithm>
#include <cmath>

namespace capture {

double AutoScrollPolicy::firstStep(double regionHeight) {
    const double step = std::round(regionHeight * stepFactor);
    if (step <= smallestFirstStep) {
        return smallestFirstStep;
    }
    return std::min(step, largestFirstStep);
}

AutoScrollPolicy AutoScrollPolicy::start(double regionHeight, QPointF anchor, ms now) {
    AutoScrollPolicy policy;
    policy.step = firstStep(regionHeight);
    policy.anchor = anchor;
    policy.lastProgress = now;
    return policy;
}

AutoScrollPolicy::TickAction AutoScrollPolicy::decide(ms now, QPointF pointer) const {
    const QPointF offset = pointer - anchor;
    if (ticks >= graceTicks && std::hypot(offset.x(), offset.y()) > pointerRadius) {
        return TickAction::pause;
    }
    if (ticks > graceTicks && now - lastProgress > stallTime) {
        return TickAction::finish;
    }
    return TickAction::scroll;
}

std::optional<double> AutoScrollPolicy::backOff(ms now) {
    if (lastCorrection && now - *lastCorrection <= backOffInterval) {
        return std::nullopt;
    }
    lastCorrection = now;
    lastProgress = now;
    const double old = step;
    step = std::max(std::round(old * 0.5), smallestStep);
    return 2 * old;
}

int WheelClicks::clicksFor(double points) {
    if (points == 0) {
        return 0;
    }
    int clicks = 0;
    const auto perClick = pointsPerClick();
    if (points < 0) {
        // Backing up must move at once: at least one click, and what was
        // owed downwards is dropped.
        clicks = perClick ? std::min(-1, static_cast<int>(std::lround(points / *perClick))) : -2;
        clicks = std::max(clicks, -mostClicksAtOnce);
        pending_ = 0;
    } else if (perClick) {
        pending_ += points / *perClick;
        clicks = std::min(static_cast<int>(std::trunc(pending_)), mostClicksAtOnce);
        // What a capped call leaves over is not owed later.
        pending_ = std::min(pending_ - clicks, 1.0);
    } else {
        clicks = 1;
    }
    netClicks_ += clicks;
    return clicks;
}

void WheelClicks::contentMoved(double points) {
    if (points <= 0) {
        return;
    }
    moved_ += points;
    clicksAtLastMove_ = std::max(netClicks_, 1);
}

std::optional<double> WheelClicks::pointsPerClick() const {
    if (moved_ <= 0 || clicksAtLastMove_ < 1) {
        return std::nullopt;
    }
    return moved_ / clicksAtLastMove_;
}

} // namespace capture
