#pragma once

#include "capture/scrolling/ScrollingFrameReceiver.h"

#include <QRect>

#include <chrono>
#include <memory>

namespace capture {

// The frames of a scrolling capture on X11: the region's root-window pixels
// read through MIT-SHM at up to 20 frames a second on the receiver's own
// thread, over a connection of that thread. Only whole frames of the region's
// size are handed on. When the region can no longer be read (a display got
// smaller or went away, the server is gone) the frames stop and the receiver
// hears it once.
class GrabbingStream final : public ScrollingStream {
public:
    static constexpr std::chrono::milliseconds frameInterval{50};
    // Failed reads in a row that end the stream.
    static constexpr int failuresToStop = 3;

    GrabbingStream(ScrollingFrameReceiver& receiver, const QRect& rootPixels);
    ~GrabbingStream() override;

    void startCapture(Started started) override;
    void stopCapture() override;

    static ScrollingStreamFactory factory();

private:
    struct Worker;

    ScrollingFrameReceiver& receiver_;
    QRect pixels_;
    // Touched only on the receiver's queue.
    std::shared_ptr<Worker> worker_;
    bool stopped_ = false;
};

} // namespace capture
