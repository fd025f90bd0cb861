#pragma once

#include "capture/scrolling/ScrollingFrameHandler.h"
#include "desktop/SerialQueue.h"

#include <QImage>

#include <functional>
#include <memory>

namespace capture {

// The end of a scrolling capture's frame stream: owns the capture's thread,
// "Vexlin.scrolling-capture", on which frames arrive and all stitching runs,
// and reports each frame through `onUpdate` (called on that thread). The
// thread ends when the receiver is destroyed.
class ScrollingFrameReceiver {
public:
    using OnUpdate = std::function<void(const ScrollingFrameUpdate&)>;

    static constexpr const char* queueName = "Vexlin.scrolling-capture";

    explicit ScrollingFrameReceiver(OnUpdate onUpdate,
                                    ScrollingFrameHandler::Clock clock = steadyMilliseconds);
    ~ScrollingFrameReceiver();
    ScrollingFrameReceiver(const ScrollingFrameReceiver&) = delete;
    ScrollingFrameReceiver& operator=(const ScrollingFrameReceiver&) = delete;

    desktop::SerialQueue& queue() { return *queue_; }

    // On the queue: one whole frame.
    void handle(const QImage& frame);
    // On the queue: the stream can deliver no more.
    void streamStopped(const QString& error);

    // From another thread: the stitched image at full size, once the frame
    // in hand (if any) is stitched; null before the first frame.
    QImage compose();

private:
    ScrollingFrameHandler handler_;
    OnUpdate onUpdate_;
    // Last, so that the thread has ended before the rest goes.
    std::unique_ptr<desktop::SerialQueue> queue_;
};

// A source of frames for a receiver: the stand-in for a capture stream.
class ScrollingStream {
public:
    // Told once, on the main thread, whether the stream runs; an error text
    // when it could not start.
    using Started = std::function<void(const std::optional<QString>& error)>;

    virtual ~ScrollingStream() = default;
    virtual void startCapture(Started started) = 0;
    // Stops the frames: once it returns, no frame reaches the receiver any
    // more and nothing the stream made on the queue is left. Main thread.
    virtual void stopCapture() = 0;
};

// Makes the stream of `rootPixels` (root-window pixels) for a receiver.
using ScrollingStreamFactory = std::function<std::unique_ptr<ScrollingStream>(
    ScrollingFrameReceiver& receiver, const QRect& rootPixels)>;

} // namespace capture
