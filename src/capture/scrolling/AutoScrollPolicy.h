#pragma once

#include <QPointF>

#include <chrono>
#include <optional>

namespace capture {

// The state of a running auto-scroll: how far each event scrolls, where the
// pointer is parked, and the clocks and counters that decide when it pauses,
// stops or backs off. Times are on one monotonic clock.
struct AutoScrollPolicy {
    using ms = std::chrono::milliseconds;

    static constexpr double stepFactor = 0.1;
    static constexpr double smallestFirstStep = 12;
    static constexpr double largestFirstStep = 48;
    static constexpr double smallestStep = 8;
    static constexpr ms tickInterval{80};
    static constexpr int graceTicks = 3;
    static constexpr double pointerRadius = 40;
    static constexpr ms stallTime{1600};
    static constexpr ms backOffInterval{500};

    // Points scrolled by one event.
    double step = smallestFirstStep;
    // The middle of the region in global points: the pointer is parked and
    // the events are posted here.
    QPointF anchor;
    // When rows were last appended (or auto-scroll started or backed off).
    ms lastProgress{0};
    // The last back-off; none yet.
    std::optional<ms> lastCorrection;
    // Events posted so far.
    int ticks = 0;

    // A fresh policy for a region of `regionHeight` points.
    static AutoScrollPolicy start(double regionHeight, QPointF anchor, ms now);
    // The first step: a tenth of the region's height, kept within 12 to 48.
    static double firstStep(double regionHeight);

    enum class TickAction { pause, finish, scroll };
    // What one tick does with the pointer at `pointer`.
    TickAction decide(ms now, QPointF pointer) const;

    // Whether a lost track at `now` backs off; if so the policy is changed
    // and the distance to scroll back up (points, > 0) is returned.
    std::optional<double> backOff(ms now);
};

// Turns scroll distances in points into whole wheel clicks. How far one click
// moves the content is the business of the program that gets it, so the
// distance a click moves is learnt from what the stitcher appends.
class WheelClicks {
public:
    static constexpr int mostClicksAtOnce = 4;

    // The clicks for `points` (> 0 down, < 0 up). Until a click was
    // measured, each call down gives one click, each call up two. A call up
    // always gives at least one click.
    int clicksFor(double points);
    // The stitcher appended `points` of content.
    void contentMoved(double points);
    // Points per click, once measured.
    std::optional<double> pointsPerClick() const;

private:
    double pending_ = 0;
    // Down clicks minus up clicks posted so far.
    int netClicks_ = 0;
    // Net clicks when content was last seen moving, and the total moved.
    int clicksAtLastMove_ = 0;
    double moved_ = 0;
};

} // namespace capture
