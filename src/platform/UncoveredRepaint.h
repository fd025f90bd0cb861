#pragma once

#include <QRegion>
#include <QSet>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

// Waits, once windows of ours have left the screen, until what they covered
// shows again. Without a compositing manager the X server keeps no copy of a
// covered window's pixels: where only the root window lies beneath, the server
// paints its background while it handles the unmap, so nothing is left to wait
// for; where other programs' windows lie beneath, they repaint when they read
// their Expose events, and the wait watches the screen's damage (XDamage) until
// each of them has drawn into the uncovered area and the drawing has settled.
//
// Made before the windows are unmapped (so that the area they cover is read
// while they still cover it); wait() after the server has handled the unmaps.
// Main thread only.
class UncoveredRepaint {
public:
    enum class Outcome {
        nothingBeneath, // only the root window (or our own windows) lay beneath
        repainted,      // the windows beneath drew into the area and settled
        timedOut,       // `limit` passed first
        unwatched,      // no X server or no DAMAGE extension: `limit` was slept
    };

    // `leaving`: the X ids of the windows about to be unmapped; `ours`: every
    // window of this program, which cannot repaint while the caller waits.
    UncoveredRepaint(const std::vector<std::uint32_t>& leaving, const QSet<std::uint32_t>& ours);
    ~UncoveredRepaint();
    UncoveredRepaint(const UncoveredRepaint&) = delete;
    UncoveredRepaint& operator=(const UncoveredRepaint&) = delete;

    Outcome wait(std::chrono::milliseconds limit);

    // The area, in root pixels, that the leaving windows (with the window
    // manager's frames around them) covered.
    QRegion uncovered() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace platform
