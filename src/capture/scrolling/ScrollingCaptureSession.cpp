#include "capture/scrolling/ScrollingCaptureSession.h"

#include "app/Preferences.h"
#include "capture/scrolling/GrabbingStream.h"
#include "capture/scrolling/ScrollingHud.h"
#include "capture/scrolling/ScrollingHudPlacement.h"
#include "desktop/CaptureError.h"
#include "desktop/EscapeKey.h"
#include "desktop/RegionFrameWindow.h"
#include "desktop/ScreenGeometry.h"

#include "platform/X11Server.h"

#include <QCoreApplication>
#include <QScreen>
#include <QUuid>

#include <cmath>

namespace capture {

using namespace std::chrono_literals;
using Kind = ScrollingMessage::Kind;

namespace {

constexpr auto kAutoScrollDelay = 400ms;

int pixels(double points, double scale) {
    return static_cast<int>(std::lround(points * scale));
}

} // namespace

ScrollingCaptureSession::Services ScrollingCaptureSession::defaultServices() {
    Services services;
    services.scheduler = &desktop::mainScheduler();
    services.escapeKey = &desktop::globalEscapeKey();
    services.now = steadyMilliseconds;
    services.autoScrollImmediately = [] {
        return app::Preferences::shared().autoScrollImmediately();
    };
    services.scroller = makeX11Scroller();
    services.displayAvailable = [](const desktop::CaptureDisplay& display) {
        if (!platform::x11ServerReachable()) {
            return false;
        }
        const QList<desktop::CaptureDisplay> displays = desktop::ScreenGeometry::captureDisplays();
        return std::any_of(displays.begin(), displays.end(), [&](const desktop::CaptureDisplay& d) {
            return d.displayID == display.displayID;
        });
    };
    services.makeStream = GrabbingStream::factory();
    services.frameClock = steadyMilliseconds;
    services.visibleFrame = [](const desktop::CaptureDisplay& display) {
        return display.screen ? QRectF(display.screen->availableGeometry()) : display.frame;
    };
    return services;
}

ScrollingCaptureSession::ScrollingCaptureSession(const QRectF& region,
                                                 const desktop::CaptureDisplay& display,
                                                 Completion completion, Services services)
    : services_(std::move(services))
    , status_(std::make_shared<ScrollingStatus>())
    , display_(display)
    , region_(QRectF(region.toAlignedRect()))
    , completion_(std::move(completion)) {
    Q_ASSERT(services_.scheduler != nullptr && services_.escapeKey != nullptr);
}

ScrollingCaptureSession::~ScrollingCaptureSession() {
    if (!ended_) {
        // Dropped without an end: nothing of it may live on, but nobody is
        // told either.
        completion_ = nullptr;
        teardown();
    }
}

QString ScrollingCaptureSession::unavailableNote() {
    //: Status line of the scrolling capture panel when the X server cannot take the synthetic
    //: wheel turns that auto-scroll posts (it lacks the XTEST extension)
    return QCoreApplication::translate(
        "ScrollingCaptureSession",
        "Auto-scroll needs the X server’s XTEST extension, which this server does not offer. "
        "Scroll the area by hand instead.");
}

QString ScrollingCaptureSession::pauseNote() {
    return QCoreApplication::translate(
        "ScrollingCaptureSession",
        "Auto-scroll paused. Scroll by hand, or press Auto-Scroll to resume.");
}

void ScrollingCaptureSession::showPanels() {
    if (ended_ || hud_) {
        return;
    }
    const QPointer<ScrollingCaptureSession> weak(this);
    auto* hud = new ScrollingHudPanel(
        status_.get(),
        [weak] {
            if (weak) {
                weak->toggleAutoScroll();
            }
        },
        [weak] {
            if (weak) {
                weak->endOnce(End::finish);
            }
        },
        [weak] {
            if (weak) {
                weak->endOnce(End::cancel);
            }
        });
    const QRectF global = desktop::ScreenGeometry::toGlobal(display_, region_);
    const HudPlacement placement =
        placeHud(global, QSizeF(hud->sizeHint()), services_.visibleFrame(display_));
    if (placement.region) {
        region_ = desktop::ScreenGeometry::toLocal(display_, *placement.region);
    }
    frameWindow_ = new desktop::RegionFrameWindow(display_.frame, region_);
    hud->setKeepOut(desktop::ScreenGeometry::toGlobal(display_, region_));
    hud->move(placement.topLeft.toPoint());
    hud->show();
    hud->raise();
    hud_ = hud;
}

QRect ScrollingCaptureSession::rootPixels() const {
    const double s = display_.scale;
    const QPoint origin = desktop::ScreenGeometry::pixelRect(display_).topLeft();
    return {origin + QPoint(pixels(region_.x(), s), pixels(region_.y(), s)),
            QSize(pixels(region_.width(), s), pixels(region_.height(), s))};
}

void ScrollingCaptureSession::start() {
    // A session ended before its start ran creates nothing.
    if (ended_ || stream_) {
        return;
    }
    if (!services_.displayAvailable(display_)) {
        status_->setMessage(ScrollingMessage::failedWith(
            desktop::errorDescription(desktop::CaptureError::noDisplays)));
        return;
    }
    const QPointer<ScrollingCaptureSession> weak(this);
    auto receiver = std::make_unique<ScrollingFrameReceiver>(
        [status = status_, weak](const ScrollingFrameUpdate& update) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [status, weak, update] {
                    if (weak) {
                        weak->apply(update);
                    } else {
                        // Nobody shows it any more, but the status stays true.
                        status->setMessage(update.message);
                        status->setPixelSize(update.pixelSize);
                    }
                },
                Qt::QueuedConnection);
        },
        services_.frameClock ? services_.frameClock : steadyMilliseconds);
    auto stream = services_.makeStream(*receiver, rootPixels());
    if (!stream) {
        status_->setMessage(ScrollingMessage::failedWith(
            desktop::errorDescription(desktop::CaptureError::noDisplays)));
        return;
    }
    receiver_ = std::move(receiver);
    stream_ = std::move(stream);
    stream_->startCapture([weak](const std::optional<QString>& error) {
        if (weak) {
            weak->streamStarted(error);
        }
    });
}

void ScrollingCaptureSession::streamStarted(const std::optional<QString>& error) {
    if (ended_) {
        return;
    }
    if (error) {
        status_->setMessage(ScrollingMessage::failedWith(*error));
        return;
    }
    if (status_->message().kind == Kind::starting) {
        status_->setMessage({Kind::scrollDown, {}});
    }
    if (!services_.autoScrollImmediately || !services_.autoScrollImmediately()) {
        return;
    }
    autoScrollDelay_ = services_.scheduler->after(kAutoScrollDelay, [this] {
        if (!finished_) {
            startAutoScroll();
        }
    });
}

void ScrollingCaptureSession::apply(const ScrollingFrameUpdate& update) {
    status_->setMessage(update.message);
    if (!update.preview.isNull()) {
        status_->setPreview(update.preview);
    }
    status_->setPixelSize(update.pixelSize);
    if (!ended_) {
        adjustAutoScroll(update.message, update.appended ? update.rows : 0);
    }
}

void ScrollingCaptureSession::endOnce(End end) {
    if (finished_) {
        return;
    }
    finished_ = true;
    pendingEnd_ = services_.scheduler->after(0ms, [this, end] {
        if (end == End::finish) {
            finish();
        } else {
            cancel();
        }
    });
}

void ScrollingCaptureSession::finishLater() {
    if (finished_) {
        return;
    }
    finished_ = true;
    pendingEnd_ = services_.scheduler->after(0ms, [this] { finish(); });
}

void ScrollingCaptureSession::finish() {
    if (ended_) {
        return;
    }
    finished_ = true;
    if (stream_) {
        stream_->stopCapture();
    }
    QImage image;
    if (receiver_) {
        image = receiver_->compose();
    }
    teardown();
    if (image.isNull()) {
        complete(std::nullopt);
        return;
    }
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.scale = std::max(display_.scale, 1.0);
    image.setDevicePixelRatio(capture.scale);
    capture.image = image;
    capture.date = QDateTime::currentDateTime();
    complete(capture);
}

void ScrollingCaptureSession::cancel() {
    if (ended_) {
        return;
    }
    finished_ = true;
    if (stream_) {
        stream_->stopCapture();
    }
    teardown();
    complete(std::nullopt);
}

void ScrollingCaptureSession::complete(const std::optional<app::Capture>& capture) {
    // The owner may drop this session from inside the completion: nothing
    // after the call may touch it.
    const Completion completion = std::move(completion_);
    completion_ = nullptr;
    if (completion) {
        completion(capture);
    }
}

void ScrollingCaptureSession::teardown() {
    ended_ = true;
    finished_ = true;
    if (escape_) {
        services_.escapeKey->releaseEscape(*escape_);
        escape_.reset();
    }
    stopAutoScroll(std::nullopt);
    autoScrollDelay_.reset();
    if (stream_) {
        stream_->stopCapture();
    }
    stream_.reset();
    // Ends the capture thread.
    receiver_.reset();
    if (frameWindow_) {
        frameWindow_->hide();
        delete frameWindow_.data();
    }
    if (hud_) {
        hud_->hide();
        delete hud_.data();
    }
}

// --- auto-scroll ---

void ScrollingCaptureSession::startAutoScroll() {
    if (finished_ || autoScrollTimer_ || !services_.scroller) {
        return;
    }
    Scroller& scroller = *services_.scroller;
    if (!scroller.preflight()) {
        if (!scroller.request()) {
            scroller.openAccessibilitySettings();
        }
        status_->setNote(unavailableNote());
        status_->setAutoScrollUnavailable(true);
        return;
    }
    const QPointF anchor = display_.frame.topLeft() + region_.center();
    scroller.warpPointer(anchor);
    autoScroll_ = AutoScrollPolicy::start(region_.height(), anchor, services_.now());
    status_->setNote(std::nullopt);
    status_->setAutoScrolling(true);
    autoScrollTimer_ =
        services_.scheduler->every(AutoScrollPolicy::tickInterval, [this] { autoScrollTick(); });
}

void ScrollingCaptureSession::stopAutoScroll(const std::optional<QString>& note) {
    autoScrollTimer_.reset();
    autoScroll_.reset();
    status_->setAutoScrolling(false);
    status_->setNote(note);
}

void ScrollingCaptureSession::toggleAutoScroll() {
    if (status_->isAutoScrolling()) {
        stopAutoScroll(std::nullopt);
    } else {
        startAutoScroll();
    }
}

void ScrollingCaptureSession::autoScrollTick() {
    if (!autoScroll_) {
        return;
    }
    const ms now = services_.now();
    switch (autoScroll_->decide(now, services_.scroller->pointer())) {
    case AutoScrollPolicy::TickAction::pause:
        stopAutoScroll(pauseNote());
        return;
    case AutoScrollPolicy::TickAction::finish:
        // The end of the content: the capture ends in its own turn of the
        // event loop, never inside the tick.
        stopAutoScroll(std::nullopt);
        finishLater();
        return;
    case AutoScrollPolicy::TickAction::scroll:
        break;
    }
    ++autoScroll_->ticks;
    postScroll(autoScroll_->step);
}

void ScrollingCaptureSession::adjustAutoScroll(const ScrollingMessage& message, int appendedRows) {
    if (!autoScroll_) {
        return;
    }
    const ms now = services_.now();
    if (appendedRows > 0) {
        autoScroll_->lastProgress = now;
        wheel_.contentMoved(appendedRows / std::max(display_.scale, 0.01));
    }
    if (message.kind == Kind::limitReached) {
        stopAutoScroll(std::nullopt);
        finishLater();
        return;
    }
    if (message.kind == Kind::tooFast) {
        if (const auto distance = autoScroll_->backOff(now)) {
            postScroll(-*distance);
        }
    }
}

void ScrollingCaptureSession::postScroll(double points) {
    const int clicks = wheel_.clicksFor(points);
    if (clicks != 0) {
        services_.scroller->wheel(clicks);
    }
}

} // namespace capture
