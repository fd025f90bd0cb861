#pragma once

#include "capture/scrolling/ScrollStitcher.h"
#include "capture/scrolling/ScrollingStatus.h"

#include <QImage>
#include <QSize>

#include <chrono>
#include <functional>

namespace capture {

// What one frame, or the end of the frames, reports to the session.
struct ScrollingFrameUpdate {
    ScrollingMessage message;
    // A preview made for this frame; null for none.
    QImage preview;
    // Width of the first frame (0 before it) and the stitched height.
    QSize pixelSize{0, 0};
    // This frame added rows to the stitched image.
    bool appended = false;
    // Rows it added (0 when none).
    int rows = 0;
};

// Turns each whole frame of a scrolling capture into a stitcher step and an
// update for the HUD: the message of the stitcher's answer, a preview at most
// every 0.25 s (always for the first frame, never for a frame that brought
// nothing new) and the stitched size. Single-threaded: it runs on the
// capture's own thread.
class ScrollingFrameHandler {
public:
    using Clock = std::function<std::chrono::milliseconds()>;

    static constexpr std::chrono::milliseconds previewInterval{250};

    explicit ScrollingFrameHandler(Clock clock);

    ScrollingFrameUpdate handle(const QImage& frame);
    // The update that says the frames stopped with `error`.
    static ScrollingFrameUpdate stopped(const QString& error);
    // The stitched image at full size; null before the first frame.
    QImage compose() const;

    const ScrollStitcher& stitcher() const { return stitcher_; }

private:
    Clock clock_;
    ScrollStitcher stitcher_;
    std::optional<std::chrono::milliseconds> lastPreview_;
};

// The monotonic clock in milliseconds.
std::chrono::milliseconds steadyMilliseconds();

} // namespace capture
