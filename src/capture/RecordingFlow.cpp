#include "capture/RecordingFlow.h"

#include "app/Preferences.h"
#include "capture/CaptureCoordinator.h"
#include "capture/CoordinatorTrace.h"
#include "capture/OutcomeRegion.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

namespace capture {

namespace {

QString describe(const QRect& rect) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height());
}

} // namespace

RecordingDeliverySettings RecordingDeliverySettings::fromPreferences() {
    const app::Preferences& preferences = app::Preferences::shared();
    return {preferences.copyToClipboard(), preferences.saveToDisk(), preferences.openEditor(),
            preferences.showQuickAccess()};
}

CaptureFailure RecordingFlow::cannotRecord() {
    //: Failure alert text when the record action is used in a build that cannot record the screen
    return {QCoreApplication::translate("RecordingFlow",
                                        "Screen recording is not available in this version of "
                                        "Vexlin Capture yet. Nothing was recorded."),
            false};
}

RecordingFlow::Services RecordingFlow::defaultServices() {
    Services services;
    services.recordWindowsAlone = [] { return app::Preferences::shared().recordWindowsAlone(); };
    services.settings = &RecordingDeliverySettings::fromPreferences;
    services.copyFileReference = [](const QUrl& file) {
        auto* data = new QMimeData;
        data->setUrls({file});
        QGuiApplication::clipboard()->setMimeData(data);
    };
    services.saveCopy = [](const app::Recording&) -> std::optional<CaptureFailure> {
        //: Failure alert text when a finished recording cannot be copied into the save folder in
        //: this build
        return CaptureFailure{
            QCoreApplication::translate("RecordingFlow",
                                        "Recordings can’t be saved into the screenshots folder "
                                        "in this version of Vexlin Capture yet."),
            false};
    };
    return services;
}

RecordingFlow::RecordingFlow(Services services) : services_(std::move(services)) {}

RecordingFlow::~RecordingFlow() = default;

std::optional<CaptureFailure> RecordingFlow::unavailable() const {
    if (!services_.makeSession) {
        return cannotRecord();
    }
    return std::nullopt;
}

void RecordingFlow::selectionEnded(CaptureCoordinator& coordinator,
                                   const SelectionOutcome& outcome) {
    // The session lives without the busy flag: screenshots go on working.
    coordinator.clearBusy();
    switch (outcome.kind) {
    case SelectionOutcome::Kind::failed:
        coordinator.presentCaptureError(CaptureFailure::of(outcome));
        return;
    case SelectionOutcome::Kind::cancelled:
        return;
    case SelectionOutcome::Kind::area:
    case SelectionOutcome::Kind::window:
    case SelectionOutcome::Kind::display:
        break;
    }

    const std::optional<OutcomeRegion> target = regionOf(outcome);
    if (!target || target->region.width() < minimumSide || target->region.height() < minimumSide) {
        traceCoordinator(QStringLiteral("recording region-dropped"));
        return;
    }
    if (!services_.makeSession) {
        coordinator.presentCaptureError(cannotRecord());
        return;
    }

    Request request;
    request.display = target->display;
    request.region = target->region.toAlignedRect();
    if (outcome.kind == SelectionOutcome::Kind::window && outcome.window &&
        services_.recordWindowsAlone && services_.recordWindowsAlone()) {
        request.windowID = outcome.window->id;
    }
    traceCoordinator(QStringLiteral("recording session region=") + describe(request.region) +
                     (request.windowID
                          ? QStringLiteral(" window=") + QString::number(*request.windowID)
                          : QString()));

    const std::weak_ptr<bool> alive = alive_;
    // Filled in once the session exists; its completion cannot come sooner
    // than its presentation.
    auto made = std::make_shared<std::weak_ptr<Session>>();
    Completion completion = [this, alive, owner = QPointer<CaptureCoordinator>(&coordinator),
                             made](const std::optional<app::Recording>& recording) {
        if (alive.expired() || !owner) {
            return;
        }
        finishRecording(*owner, made->lock(), recording);
    };
    Progress progress = [owner = QPointer<CaptureCoordinator>(&coordinator)](
                            const std::optional<QString>& elapsed) {
        if (owner) {
            reportRecordingProgress(*owner, elapsed);
        }
    };
    std::shared_ptr<Session> session =
        services_.makeSession(request, std::move(completion), std::move(progress));
    if (!session) {
        coordinator.presentCaptureError(cannotRecord());
        return;
    }
    *made = session;
    coordinator.setRecording(session);
    session->present();
}

void RecordingFlow::finishRecording(CaptureCoordinator& coordinator,
                                    std::shared_ptr<Session> session,
                                    const std::optional<app::Recording>& recording) {
    traceCoordinator(recording ? QStringLiteral("recording finished")
                               : QStringLiteral("recording ended without a recording"));
    if (session && coordinator.recording() == session.get()) {
        coordinator.setRecording(nullptr);
    }
    if (session) {
        // The session may be the caller: it goes once its own call is over.
        QTimer::singleShot(0, QCoreApplication::instance(), [held = std::move(session)] {});
    }
    if (coordinator.recordingIndicator) {
        coordinator.recordingIndicator(std::nullopt);
    }
    if (recording) {
        deliverRecording(coordinator, *recording);
    }
}

void RecordingFlow::reportRecordingProgress(CaptureCoordinator& coordinator,
                                            const std::optional<QString>& elapsed) {
    if (coordinator.recordingIndicator) {
        coordinator.recordingIndicator(elapsed);
    }
}

void RecordingFlow::deliverRecording(CaptureCoordinator& coordinator,
                                     const app::Recording& recording) {
    const RecordingDeliverySettings settings =
        services_.settings ? services_.settings() : RecordingDeliverySettings{};
    if (settings.copyToClipboard && services_.copyFileReference) {
        services_.copyFileReference(recording.url);
    }
    if (settings.saveToDisk && services_.saveCopy) {
        if (std::optional<CaptureFailure> failure = services_.saveCopy(recording)) {
            // The movie is made: say what failed and where it is.
            //: After why a recording could not be copied; the argument is where the movie is
            failure->description +=
                QLatin1Char(' ') +
                QCoreApplication::translate("RecordingFlow", "The movie is kept in “%1”.")
                    .arg(QDir::toNativeSeparators(recording.url.toLocalFile()));
            //: Title of the alert when a finished recording cannot be copied into the save folder
            coordinator.presentFailure(
                QCoreApplication::translate(
                    "RecordingFlow", "The recording couldn’t be copied into the save folder"),
                *failure);
        }
    }
    if (settings.openEditor && recording.format == app::Recording::Format::video) {
        if (services_.openVideoEditor) {
            services_.openVideoEditor(recording);
        }
    } else if (settings.showQuickAccess && services_.showQuickAccess) {
        services_.showQuickAccess(recording);
    }
}

} // namespace capture
