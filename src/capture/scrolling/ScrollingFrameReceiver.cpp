#include "capture/scrolling/ScrollingFrameReceiver.h"

namespace capture {

ScrollingFrameReceiver::ScrollingFrameReceiver(OnUpdate onUpdate,
                                               ScrollingFrameHandler::Clock clock)
    : handler_(std::move(clock))
    , onUpdate_(std::move(onUpdate))
    , queue_(std::make_unique<desktop::SerialQueue>(QString::fromLatin1(queueName))) {}

ScrollingFrameReceiver::~ScrollingFrameReceiver() {
    queue_.reset();
}

void ScrollingFrameReceiver::handle(const QImage& frame) {
    Q_ASSERT(queue_->isCurrent());
    const ScrollingFrameUpdate update = handler_.handle(frame);
    if (onUpdate_) {
        onUpdate_(update);
    }
}

void ScrollingFrameReceiver::streamStopped(const QString& error) {
    if (onUpdate_) {
        onUpdate_(ScrollingFrameHandler::stopped(error));
    }
}

QImage ScrollingFrameReceiver::compose() {
    QImage image;
    queue_->sync([this, &image] { image = handler_.compose(); });
    return image;
}

} // namespace capture
