#include "capture/scrolling/GrabbingStream.h"

#include "desktop/CaptureError.h"

#include "platform/RegionGrabber.h"

#include <QCoreApplication>
#include <QTimer>

namespace capture {

struct GrabbingStream::Worker {
    std::unique_ptr<platform::RegionGrabber> grabber;
    QTimer* timer = nullptr;
    int failures = 0;
    bool stopped = false;

    void end() {
        delete timer;
        timer = nullptr;
        grabber.reset();
        stopped = true;
    }
};

namespace {

void tellMainThread(ScrollingStream::Started started, std::optional<QString> error) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [started = std::move(started), error = std::move(error)] { started(error); },
        Qt::QueuedConnection);
}

} // namespace

GrabbingStream::GrabbingStream(ScrollingFrameReceiver& receiver, const QRect& rootPixels)
    : receiver_(receiver), pixels_(rootPixels), worker_(std::make_shared<Worker>()) {}

GrabbingStream::~GrabbingStream() {
    stopCapture();
}

ScrollingStreamFactory GrabbingStream::factory() {
    return [](ScrollingFrameReceiver& receiver, const QRect& pixels) {
        return std::make_unique<GrabbingStream>(receiver, pixels);
    };
}

void GrabbingStream::startCapture(Started started) {
    ScrollingFrameReceiver* receiver = &receiver_;
    const QRect pixels = pixels_;
    desktop::SerialQueue* queue = &receiver_.queue();
    receiver_.queue().async([worker = worker_, receiver, pixels, queue,
                             started = std::move(started)]() mutable {
        if (worker->stopped) {
            // Stopped before it ran: it makes nothing, and nobody waits.
            return;
        }
        worker->grabber = platform::RegionGrabber::open();
        if (!worker->grabber) {
            worker->stopped = true;
            tellMainThread(std::move(started),
                           desktop::errorDescription(desktop::CaptureError::noDisplays));
            return;
        }
        worker->timer = new QTimer(queue->context());
        worker->timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(worker->timer, &QTimer::timeout, worker->timer,
                         [w = worker.get(), receiver, pixels] {
                             if (w->stopped) {
                                 return;
                             }
                             const QImage frame = w->grabber->grab(pixels);
                             if (!frame.isNull() && frame.size() == pixels.size()) {
                                 w->failures = 0;
                                 receiver->handle(frame);
                                 return;
                             }
                             if (++w->failures >= failuresToStop || w->grabber->isBroken()) {
                                 w->end();
                                 receiver->streamStopped(
                                     desktop::errorDescription(desktop::CaptureError::noDisplays));
                             }
                         });
        worker->timer->start(frameInterval);
        tellMainThread(std::move(started), std::nullopt);
    });
}

void GrabbingStream::stopCapture() {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    receiver_.queue().sync([worker = worker_] { worker->end(); });
}

} // namespace capture
