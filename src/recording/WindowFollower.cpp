#include "recording/WindowFollower.h"

#include "desktop/WindowList.h"

#include <QTimer>

namespace recording {

namespace {

constexpr int kIntervalMs = 100;

// Exactly equal: QRectF's own == forgives tiny differences, and every change
// of place, however small, is reported.
bool sameRect(const QRectF& a, const QRectF& b) {
    return a.x() == b.x() && a.y() == b.y() && a.width() == b.width() && a.height() == b.height();
}

} // namespace

WindowFollower::WindowFollower(std::uint32_t windowID, QObject* parent)
    : WindowFollower(windowID, &desktop::WindowList::bounds, parent) {}

WindowFollower::WindowFollower(std::uint32_t windowID, BoundsSource bounds, QObject* parent)
    : QObject(parent), windowID_(windowID), bounds_(std::move(bounds)) {}

WindowFollower::~WindowFollower() = default;

void WindowFollower::start() {
    if (timer_ != nullptr) {
        return;
    }
    // A child of the follower: it dies with it, so a forgotten stop() never
    // leaves a timer polling for nobody.
    timer_ = new QTimer(this);
    timer_->setInterval(kIntervalMs);
    // Precise: a coarse timer may slip by 5 %, and moves are to be seen
    // within two polls.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &WindowFollower::tick);
    timer_->start();
    tick();
}

void WindowFollower::stop() {
    if (timer_ != nullptr) {
        timer_->stop();
        // Possibly called from the timer's own signal (through tick and a
        // callback), so it goes once that has returned.
        timer_->deleteLater();
        timer_ = nullptr;
    }
}

void WindowFollower::tick() {
    const std::optional<QRectF> bounds = bounds_ ? bounds_(windowID_) : std::nullopt;
    if (!bounds) {
        stop();
        // Copied: the owner may delete the follower from inside.
        const auto closed = onClose;
        if (closed) {
            closed();
        }
        return;
    }
    if (lastFrame_ && sameRect(*lastFrame_, *bounds)) {
        return;
    }
    lastFrame_ = bounds;
    const auto moved = onMove;
    if (moved) {
        moved(*bounds);
    }
}

} // namespace recording
