#include "recording/StreamUpdates.h"

#include <QCoreApplication>
#include <QTimer>

namespace recording {

// --- chain ---

StreamUpdateChain::StreamUpdateChain(std::function<const void*()> current, QObject* parent)
    : QObject(parent), current_(std::move(current)) {}

void StreamUpdateChain::request(std::function<void()> update) {
    const void* target = current_ ? current_() : nullptr;
    if (!target) {
        return;
    }
    queue_.push_back({target, std::move(update)});
    if (!scheduled_) {
        scheduled_ = true;
        QTimer::singleShot(0, this, &StreamUpdateChain::runNext);
    }
}

void StreamUpdateChain::cancel() {
    queue_.clear();
}

void StreamUpdateChain::runNext() {
    scheduled_ = false;
    if (queue_.empty()) {
        return;
    }
    Link link = std::move(queue_.front());
    queue_.pop_front();
    // Later links wait for this one: each gets its own turn.
    if (!queue_.empty()) {
        scheduled_ = true;
        QTimer::singleShot(0, this, &StreamUpdateChain::runNext);
    }
    if (current_ && current_() == link.target && link.update) {
        link.update();
    }
}

// --- the session's two chains ---

StreamUpdates::StreamUpdates(StreamTarget target, QObject* parent)
    : QObject(parent)
    , target_(std::move(target))
    , filters_(target_.recorder, this)
    , regions_(target_.recorder, this) {}

void StreamUpdates::applyFilter() {
    filters_.request([this] {
        if (target_.filter && target_.updateFilter) {
            target_.updateFilter(target_.filter());
        }
    });
}

void StreamUpdates::updateStreamRegion() {
    regions_.request([this] {
        if (!target_.region) {
            return;
        }
        const QRect region = target_.region();
        if (streamRegion_ && *streamRegion_ == region) {
            return;
        }
        streamRegion_ = region;
        if (target_.updateRegion) {
            target_.updateRegion(region);
        }
    });
}

// --- window moves and closes ---

std::optional<QRect> layoutForRegion(const QRect& windowFrame, const QRectF& display,
                                     const QRect& current) {
    const QRect displayRect = display.toAlignedRect();
    const QRect local = windowFrame.translated(-displayRect.topLeft());
    const QRect visible = local.intersected(QRect(QPoint(0, 0), displayRect.size()));
    if (visible.isEmpty() || visible.width() < 16 || visible.height() < 16 || visible == current) {
        return std::nullopt;
    }
    return visible;
}

ClosedWindow closedWindow(const SessionPhase& phase, bool recorderRunning) {
    if (phase.is(SessionPhase::Kind::finishing)) {
        return {};
    }
    if (phase.is(SessionPhase::Kind::recording) && recorderRunning) {
        return {ClosedWindow::Step::stop,
                QCoreApplication::translate("RecordingSession",
                                            "The window was closed, so the recording stopped.")};
    }
    return {ClosedWindow::Step::discard,
            //: Toast when the window chosen for a recording closes before recording started
            QCoreApplication::translate("RecordingSession", "The window was closed.")};
}

// --- launches ---

HiddenAppLaunches::HiddenAppLaunches(RecordingSessionModel* model,
                                     std::function<void()> applyFilter, QObject* parent)
    : QObject(parent), model_(model), applyFilter_(std::move(applyFilter)) {}

void HiddenAppLaunches::launched(const QString& appID) {
    if (model_ && !appID.isEmpty() && model_->hiddenApps().contains(appID) && applyFilter_) {
        applyFilter_();
    }
}

} // namespace recording
