#include "capture/CaptureCoordinator.h"

#include "app/Bundle.h"
#include "app/Preferences.h"
#include "capture/CoordinatorTrace.h"
#include "capture/ScreenshotFlows.h"
#include "capture/SelfTimerCountdown.h"
#include "desktop/EscapeKey.h"
#include "desktop/ScreenPermission.h"
#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <algorithm>
#include <limits>

namespace capture {

using app::CaptureAction;
using namespace std::chrono_literals;

namespace {

QString describe(CaptureAction action, bool fromMenu) {
    return app::rawValue(action) +
           (fromMenu ? QStringLiteral(" fromMenu=true") : QStringLiteral(" fromMenu=false"));
}

QString phaseName(RecordingSessionControl::Phase phase) {
    switch (phase) {
    case RecordingSessionControl::Phase::setup:
        return QStringLiteral("setup");
    case RecordingSessionControl::Phase::countdown:
        return QStringLiteral("countdown");
    case RecordingSessionControl::Phase::recording:
        return QStringLiteral("recording");
    case RecordingSessionControl::Phase::finishing:
        break;
    }
    return QStringLiteral("finishing");
}

using platform::assertMainThread;

void showFailureAlert(const QString& message, const QString& detail) {
    auto* box = new QMessageBox(QMessageBox::Warning, app::Bundle::main().appDisplayName(), message,
                                QMessageBox::Ok);
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
    box->raise();
    box->activateWindow();
}

} // namespace

CaptureCoordinator::Services CaptureCoordinator::defaultServices() {
    Services services;
    services.captureTimer = [] {
        // A value set out of range stays as it is until the next start.
        const qint64 seconds = app::Preferences::shared().captureTimer();
        return static_cast<int>(std::min<qint64>(seconds, std::numeric_limits<int>::max()));
    };
    services.preflightScreenCapture = [] { return desktop::ScreenPermission::preflight(); };
    services.requestScreenCapture = [] { desktop::ScreenPermission::request(); };
    services.alert = showFailureAlert;
    services.flows = std::make_shared<ScreenshotFlows>(ScreenshotFlows::defaultServices());
    services.scheduler = &desktop::mainScheduler();
    services.escapeKey = &desktop::globalEscapeKey();
    return services;
}

CaptureCoordinator::CaptureCoordinator(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)) {
    Q_ASSERT(services_.scheduler != nullptr && services_.escapeKey != nullptr &&
             services_.flows != nullptr);
}

CaptureCoordinator::~CaptureCoordinator() {
    dropSelfTimer();
}

bool CaptureCoordinator::waitsForSelfTimer(CaptureAction action) {
    // area, window, fullscreen, text and the three copy actions.
    constexpr unsigned kMask = 0x1d7;
    return ((kMask >> app::index(action)) & 1U) != 0;
}

void CaptureCoordinator::perform(CaptureAction action, bool fromMenu) {
    assertMainThread();
    const QString what = describe(action, fromMenu);

    if (action == CaptureAction::record && recording_) {
        const auto phase = recording_->phase();
        if (phase == RecordingSessionControl::Phase::setup) {
            traceCoordinator(what + QStringLiteral(" recording-start"));
            recording_->start();
        } else if (phase == RecordingSessionControl::Phase::recording) {
            traceCoordinator(what + QStringLiteral(" recording-stop"));
            recording_->stop();
        } else {
            traceCoordinator(what + QStringLiteral(" recording-ignored phase=") + phaseName(phase));
        }
        return;
    }

    if (action == CaptureAction::scrolling && scrolling_) {
        if (scrolling_->isFinished()) {
            traceCoordinator(what + QStringLiteral(" scrolling-ignored"));
            return;
        }
        traceCoordinator(what + QStringLiteral(" scrolling-finish"));
        scrolling_->setFinished();
        const std::weak_ptr<ScrollingSessionControl> session = scrolling_;
        pendingScrollingFinish_ = services_.scheduler->after(0ms, [session] {
            if (const auto held = session.lock()) {
                held->finish();
            }
        });
        return;
    }

    if (selfTimer_) {
        if (selfTimer_->action() == action) {
            traceCoordinator(what + QStringLiteral(" self-timer-cancel"));
            selfTimer_->end(false);
        } else {
            traceCoordinator(what + QStringLiteral(" self-timer-ignored"));
        }
        return;
    }

    if (isBusy_) {
        traceCoordinator(what + QStringLiteral(" busy-ignored"));
        return;
    }

    if (!services_.preflightScreenCapture()) {
        traceCoordinator(what + QStringLiteral(" permission-missing"));
        if (services_.requestScreenCapture) {
            services_.requestScreenCapture();
        }
        if (services_.showWelcome) {
            services_.showWelcome();
        }
        return;
    }

    const int seconds = services_.captureTimer ? services_.captureTimer() : 0;
    if (seconds >= 1 && waitsForSelfTimer(action)) {
        traceCoordinator(what + QStringLiteral(" self-timer-start seconds=") +
                         QString::number(seconds));
        startSelfTimer(seconds, action);
        return;
    }

    traceCoordinator(what + QStringLiteral(" start"));
    start(action, fromMenu);
}

void CaptureCoordinator::start(CaptureAction action, bool fromMenu) {
    isBusy_ = true;
    delivery_ = app::copiesOnly(action) ? Delivery::copyOnly : Delivery::standard;
    // Even without the menu's pause the step runs from the event loop, never
    // inside the caller's event handler.
    pendingStep_ =
        services_.scheduler->after(fromMenu ? menuDelay : 0ms, [this, action] { runStep(action); });
}

void CaptureCoordinator::runStep(CaptureAction action) {
    std::optional<CaptureFailure> failure;
    const QString what = app::rawValue(action);
    switch (action) {
    case CaptureAction::fullscreen:
    case CaptureAction::fullscreenCopy:
        traceCoordinator(what + QStringLiteral(" step full-screen"));
        failure = services_.flows->captureFullScreen(*this);
        break;
    case CaptureAction::area:
    case CaptureAction::areaCopy:
        traceCoordinator(what + QStringLiteral(" step select area screenshot"));
        failure = services_.flows->select(*this, SelectionMode::area, Purpose::screenshot);
        break;
    case CaptureAction::window:
    case CaptureAction::windowCopy:
        traceCoordinator(what + QStringLiteral(" step select window screenshot"));
        failure = services_.flows->select(*this, SelectionMode::window, Purpose::screenshot);
        break;
    case CaptureAction::scrolling:
        traceCoordinator(what + QStringLiteral(" step select area scrolling"));
        failure = services_.flows->select(*this, SelectionMode::area, Purpose::scrolling);
        break;
    case CaptureAction::text:
        traceCoordinator(what + QStringLiteral(" step select area text"));
        failure = services_.flows->select(*this, SelectionMode::area, Purpose::text);
        break;
    case CaptureAction::record:
        traceCoordinator(what + QStringLiteral(" step select area recording"));
        failure = services_.flows->select(*this, SelectionMode::area, Purpose::recording);
        break;
    }
    if (failure) {
        traceCoordinator(what + QStringLiteral(" step-failed"));
        isBusy_ = false;
        presentCaptureError(*failure);
    }
}

void CaptureCoordinator::startSelfTimer(int seconds, CaptureAction action) {
    isBusy_ = true;
    auto* countdown =
        new SelfTimerCountdown(seconds, action, *services_.scheduler, *services_.escapeKey, this);
    const QPointer<CaptureCoordinator> weak(this);
    countdown->onEnd = [weak, action](bool fired) {
        if (weak) {
            weak->runSelfTimerThenCapture(action, fired);
        }
    };
    dropSelfTimer();
    selfTimer_ = countdown;
    countdown->start();
}

void CaptureCoordinator::runSelfTimerThenCapture(CaptureAction action, bool fired) {
    dropSelfTimer();
    if (fired) {
        traceCoordinator(app::rawValue(action) + QStringLiteral(" self-timer-fired"));
        start(action, false);
    } else {
        traceCoordinator(app::rawValue(action) + QStringLiteral(" self-timer-cancelled"));
        isBusy_ = false;
    }
}

void CaptureCoordinator::dropSelfTimer() {
    if (selfTimer_) {
        // It may be the caller: its end hands over from inside its own code.
        selfTimer_->onEnd = nullptr;
        selfTimer_->deleteLater();
        selfTimer_ = nullptr;
    }
}

void CaptureCoordinator::presentCaptureError(const CaptureFailure& failure) {
    if (failure.isUserCancellation) {
        return;
    }
    if (!services_.preflightScreenCapture()) {
        if (services_.showWelcome) {
            services_.showWelcome();
        }
        return;
    }
    if (services_.alert) {
        //: Title of the alert when a capture fails; the failure's own text follows
        services_.alert(QCoreApplication::translate("CaptureCoordinator",
                                                    "Vexlin Capture couldn’t take the screenshot"),
                        failure.description);
    }
}

} // namespace capture
