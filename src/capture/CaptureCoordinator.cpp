#include "capture/CaptureCoordinator.h"

#include "app/AlertPresenter.h"
#include "app/Bundle.h"
#include "app/Preferences.h"
#include "capture/CoordinatorTrace.h"
#include "capture/SelfTimerCountdown.h"
#include "capture/selection/SelectionOpening.h"
#include "desktop/EscapeKey.h"
#include "desktop/ScreenPermission.h"
#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

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

QString purposeName(CaptureCoordinator::Purpose purpose) {
    static const char* const names[] = {"screenshot", "scrolling", "text", "recording"};
    return QString::fromLatin1(names[static_cast<int>(purpose)]);
}

// What an action starts once it is past the gates: the full-screen shot, or
// a selection in a mode for a purpose.
struct Step {
    bool fullScreen = false;
    SelectionMode mode = SelectionMode::area;
    CaptureCoordinator::Purpose purpose = CaptureCoordinator::Purpose::screenshot;
};

Step stepOf(CaptureAction action) {
    using Purpose = CaptureCoordinator::Purpose;
    switch (action) {
    case CaptureAction::fullscreen:
    case CaptureAction::fullscreenCopy:
        return {true, SelectionMode::area, Purpose::screenshot};
    case CaptureAction::area:
    case CaptureAction::areaCopy:
        return {false, SelectionMode::area, Purpose::screenshot};
    case CaptureAction::window:
    case CaptureAction::windowCopy:
        return {false, SelectionMode::window, Purpose::screenshot};
    case CaptureAction::scrolling:
        return {false, SelectionMode::area, Purpose::scrolling};
    case CaptureAction::text:
        return {false, SelectionMode::area, Purpose::text};
    case CaptureAction::record:
        break;
    }
    return {false, SelectionMode::area, Purpose::recording};
}

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

void showUnsavedAlert(const QString& message, const QString& detail,
                      std::function<void()> chooseFolder) {
    auto* box = new QMessageBox(QMessageBox::Warning, app::Bundle::main().appDisplayName(), message,
                                QMessageBox::NoButton);
    box->setInformativeText(detail);
    QPushButton* choose = nullptr;
    if (chooseFolder) {
        //: Button of the alert when a screenshot could not be saved: picks another save folder
        choose = box->addButton(CaptureCoordinator::tr("Choose Folder…"), QMessageBox::AcceptRole);
    }
    QPushButton* ok = box->addButton(QMessageBox::Ok);
    // The first button answers Return and holds the focus; Escape is OK.
    box->setDefaultButton(choose != nullptr ? choose : ok);
    box->setEscapeButton(ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::buttonClicked, box,
                     [choose, chooseFolder = std::move(chooseFolder)](QAbstractButton* clicked) {
                         if (clicked == choose && chooseFolder) {
                             // After the alert has gone: the chooser is a window of its own.
                             QMetaObject::invokeMethod(qApp, chooseFolder, Qt::QueuedConnection);
                         }
                     });
    app::keepDefaultButtonFocused(box);
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
    services.unsavedAlert = showUnsavedAlert;
    services.openSelection = [](const SelectionRequest& request, SelectionCompletion completion) {
        return openCaptureSelection(request.mode, request.takesPictures, request.hint,
                                    std::move(completion));
    };
    services.scheduler = &desktop::mainScheduler();
    services.escapeKey = &desktop::globalEscapeKey();
    return services;
}

CaptureCoordinator::CaptureCoordinator(CaptureFlows flows, Services services, QObject* parent)
    : QObject(parent), flows_(std::move(flows)), services_(std::move(services)) {
    Q_ASSERT(services_.scheduler != nullptr && services_.escapeKey != nullptr &&
             services_.openSelection);
    Q_ASSERT(flows_.fullScreen && flows_.screenshot && flows_.scrolling && flows_.text &&
             flows_.recording);
}

CaptureCoordinator::~CaptureCoordinator() {
    dropSelfTimer();
    letGoOfSelection();
}

QString CaptureCoordinator::selectionHint(Purpose purpose) {
    switch (purpose) {
    case Purpose::screenshot:
        break;
    case Purpose::scrolling:
        //: Instruction at the top of the screen while the user selects the area of a scrolling
        //: capture
        return tr("Select the area to scroll, then scroll it slowly");
    case Purpose::text:
        //: Instruction at the top of the screen while the user selects text to recognise
        return tr("Select the text to copy");
    case Purpose::recording:
        //: Instruction at the top of the screen while the user selects what to record
        return tr("Select the area to record. Space switches to windows; click the desktop for "
                  "the whole screen.");
    }
    return QString();
}

bool CaptureCoordinator::takesPictures(Purpose purpose) {
    return purpose == Purpose::screenshot || purpose == Purpose::text;
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
    const QString what = app::rawValue(action);
    const Step step = stepOf(action);
    std::optional<CaptureFailure> failure;
    if (step.fullScreen) {
        traceCoordinator(what + QStringLiteral(" step full-screen"));
        failure = flows_.fullScreen->captureFullScreen(*this);
    } else {
        traceCoordinator(what + QStringLiteral(" step select ") +
                         (step.mode == SelectionMode::window ? QStringLiteral("window ")
                                                             : QStringLiteral("area ")) +
                         purposeName(step.purpose));
        failure = select(step.mode, step.purpose);
    }
    if (failure) {
        traceCoordinator(what + QStringLiteral(" step-failed"));
        isBusy_ = false;
        presentCaptureError(*failure);
    }
}

std::optional<CaptureFailure> CaptureCoordinator::select(SelectionMode mode, Purpose purpose) {
    // A flow that cannot run says so before the user picks anything.
    if (auto failure = flows_.of(purpose).unavailable()) {
        return failure;
    }
    const QPointer<CaptureCoordinator> self(this);
    auto opened = services_.openSelection({mode, takesPictures(purpose), selectionHint(purpose)},
                                          [self, purpose](const SelectionOutcome& outcome) {
                                              if (self) {
                                                  self->selectionEnded(outcome, purpose);
                                              }
                                          });
    if (const auto* error = std::get_if<desktop::CaptureError>(&opened)) {
        return CaptureFailure::of(*error);
    }
    letGoOfSelection();
    selection_ = std::move(std::get<SelectionHandle>(opened));
    flows_.of(purpose).selectionOpened();
    return std::nullopt;
}

void CaptureCoordinator::selectionEnded(const SelectionOutcome& outcome, Purpose purpose) {
    letGoOfSelection();
    flows_.of(purpose).selectionEnded(*this, outcome);
}

void CaptureCoordinator::letGoOfSelection() {
    if (selection_) {
        // Never deleted from inside its own session's call.
        selection_.release()->deleteLater();
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
    //: Title of the alert when a capture fails; the failure's own text follows
    presentFailure(tr("Vexlin Capture couldn’t take the screenshot"), failure);
}

void CaptureCoordinator::presentFailure(const QString& title, const CaptureFailure& failure) {
    if (failure.isUserCancellation) {
        return;
    }
    if (!services_.preflightScreenCapture()) {
        if (services_.showWelcome) {
            services_.showWelcome();
        }
        return;
    }
    if (failure.unsaved) {
        const CaptureFailure::Unsaved& unsaved = *failure.unsaved;
        //: Title of the alert when a screenshot was taken but its file could not be written
        const QString message = tr("The screenshot was taken but couldn’t be saved");
        QString detail = failure.description;
        if (!unsaved.folder.isEmpty() && !detail.contains(unsaved.folder)) {
            //: Begins the text of the alert when a screenshot could not be saved; %1 is the
            //: save folder's full path, the reason follows
            detail = tr("It was to be saved in the folder “%1”.").arg(unsaved.folder) +
                     QLatin1Char(' ') + detail;
        }
        if (unsaved.copied) {
            //: Ends the text of the alert when a screenshot could not be saved
            detail += QLatin1Char(' ') + tr("It is on the clipboard.");
        }
        if (unsaved.chooseAnotherFolder) {
            //: Ends the text of the alert when a screenshot could not be saved and another
            //: folder may take it
            detail += QLatin1Char(' ') + tr("Choose another folder to save it there.");
        }
        traceCoordinator(QStringLiteral("alert ") + message + QStringLiteral(" | ") + detail);
        if (services_.unsavedAlert) {
            services_.unsavedAlert(message, detail, unsaved.chooseAnotherFolder);
        } else if (services_.alert) {
            services_.alert(message, detail);
        }
        return;
    }
    traceCoordinator(QStringLiteral("alert ") + title + QStringLiteral(" | ") +
                     failure.description);
    if (services_.alert) {
        services_.alert(title, failure.description);
    }
}

} // namespace capture
