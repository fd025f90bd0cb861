#include "capture/scrolling/ScrollingFrameHandler.h"

namespace capture {

using Kind = ScrollingMessage::Kind;
using Code = ScrollStitcher::Code;

std::chrono::milliseconds steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

ScrollingFrameHandler::ScrollingFrameHandler(Clock clock) : clock_(std::move(clock)) {}

ScrollingFrameUpdate ScrollingFrameHandler::handle(const QImage& frame) {
    const ScrollStitcher::AddResult result = stitcher_.add(frame);
    ScrollingFrameUpdate update;
    if (result.isAppended()) {
        update.message = {Kind::capturing, {}};
        update.appended = true;
        update.rows = result.rows();
    } else {
        switch (*result.code()) {
        case Code::started:
        case Code::nothingNew:
            update.message = {
                stitcher_.height() > frame.height() ? Kind::capturing : Kind::scrollDown, {}};
            break;
        case Code::lostTrack:
            update.message = {Kind::tooFast, {}};
            break;
        case Code::heightLimit:
            update.message = {Kind::limitReached, {}};
            break;
        }
    }

    const auto now = clock_();
    bool makePreview = result == ScrollStitcher::AddResult(Code::started);
    if (!makePreview) {
        const bool due = !lastPreview_ || now - *lastPreview_ > previewInterval;
        makePreview = due && result != ScrollStitcher::AddResult(Code::nothingNew);
    }
    if (makePreview) {
        update.preview = stitcher_.preview();
        lastPreview_ = now;
    }
    update.pixelSize = QSize(stitcher_.firstWidth(), stitcher_.height());
    return update;
}

ScrollingFrameUpdate ScrollingFrameHandler::stopped(const QString& error) {
    ScrollingFrameUpdate update;
    update.message = ScrollingMessage::failedWith(error);
    return update;
}

QImage ScrollingFrameHandler::compose() const {
    return stitcher_.compose(1.0);
}

} // namespace capture
