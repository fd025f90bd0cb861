#include "capture/SelfTimerCountdown.h"

#include "capture/SelfTimerPanel.h"
#include "desktop/EscapeKey.h"
#include "desktop/PointerScreen.h"
#include "platform/MainThread.h"

#include <QScreen>

#include <cmath>

namespace capture {

using namespace std::chrono_literals;

void SelfTimerModel::setRemaining(int remaining) {
    if (remaining_ == remaining) {
        return;
    }
    remaining_ = remaining;
    Q_EMIT remainingChanged(remaining);
}

SelfTimerCountdown::SelfTimerCountdown(int seconds, app::CaptureAction action,
                                       desktop::Scheduler& scheduler, desktop::EscapeKey& escapeKey,
                                       QObject* parent)
    : QObject(parent)
    , action_(action)
    , scheduler_(scheduler)
    , escapeKey_(escapeKey)
    , model_(seconds) {}

SelfTimerCountdown::~SelfTimerCountdown() {
    if (escape_) {
        escapeKey_.releaseEscape(*escape_);
    }
    if (panel_) {
        panel_->hide();
        panel_->deleteLater();
    }
}

void SelfTimerCountdown::start() {
    platform::assertMainThread();
    if (ended_ || panel_) {
        return;
    }
    QScreen* screen = desktop::screenUnderPointerOrFirst();
    if (screen == nullptr) {
        end(false);
        return;
    }

    const QPointer<SelfTimerCountdown> weak(this);
    auto* panel = new SelfTimerPanel(model_.remaining());
    connect(&model_, &Model::remainingChanged, panel, &SelfTimerPanel::setRemaining);
    panel->onCancel = [weak] {
        if (weak) {
            weak->cancel();
        }
    };
    // Centred on the screen's full frame, not the part left by panels.
    const QRect frame = screen->geometry();
    const int half = panelSide / 2;
    panel->setGeometry(static_cast<int>(std::round(frame.x() + frame.width() / 2.0 - half)),
                       static_cast<int>(std::round(frame.y() + frame.height() / 2.0 - half)),
                       panelSide, panelSide);
    panel->surface().prepareFadeIn();
    panel->show();
    panel->surface().fade(1.0, 150ms, {});
    panel_ = panel;

    timer_ = scheduler_.every(1s, [weak] {
        if (weak) {
            weak->tick();
        }
    });
    escape_ = escapeKey_.holdEscape([weak] {
        if (weak) {
            weak->cancel();
        }
    });
}

void SelfTimerCountdown::tick() {
    if (ended_) {
        return;
    }
    if (model_.remaining() >= 2) {
        model_.setRemaining(model_.remaining() - 1);
    } else {
        end(true);
    }
}

void SelfTimerCountdown::end(bool fired) {
    if (ended_) {
        return;
    }
    ended_ = true;
    timer_.reset();
    if (escape_) {
        escapeKey_.releaseEscape(*escape_);
        escape_.reset();
    }
    if (panel_) {
        // The click that cancels arrives inside the panel's own event handler.
        panel_->hide();
        panel_->deleteLater();
        panel_ = nullptr;
    }
    if (fired) {
        firedCall_ = scheduler_.after(17ms, [this] {
            const auto callback = onEnd;
            if (callback) {
                callback(true);
            }
        });
        return;
    }
    const auto callback = onEnd;
    if (callback) {
        callback(false);
    }
}

void SelfTimerCountdown::cancel() {
    end(false);
}

} // namespace capture
