#include "shell/RecordingSessions.h"

#include "app/SaveLocation.h"
#include "capture/CoordinatorTrace.h"
#include "desktop/Toast.h"
#include "overlays/SessionOverlayWindows.h"
#include "platform/PermissionProbe.h"
#include "recording/RecordingFiles.h"
#include "recording/RecordingRecovery.h"
#include "recording/RecordingWindows.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThreadPool>

#include <QDateTime>
#include <QGuiApplication>
#include <QPalette>

namespace shell {

namespace {

using Kind = recording::SessionPhase::Kind;

// A session's moments, stamped with the wall clock in ms: a test that reads
// the trace late still knows when the program acted.
void traceMoment(const QString& line) {
    capture::traceCoordinator(line + QStringLiteral(" at=") +
                              QString::number(QDateTime::currentMSecsSinceEpoch()));
}

} // namespace

QString phaseText(const recording::SessionPhase& phase) {
    switch (phase.kind) {
    case Kind::setup:
        return QStringLiteral("setup");
    case Kind::recording:
        return QStringLiteral("recording");
    case Kind::countdown:
        return QStringLiteral("countdown(%1)").arg(phase.secondsLeft);
    case Kind::finishing:
        return QStringLiteral("finishing(%1)").arg(phase.status);
    }
    return {};
}

RecordingSessionHandle::RecordingSessionHandle(std::unique_ptr<recording::RecordingSession> session)
    : session_(std::move(session)) {
    traceMoment(QStringLiteral("recording phase=") + phaseText(session_->model().phase()));
    QObject::connect(&session_->model(), &recording::RecordingSessionModel::phaseChanged,
                     [](const recording::SessionPhase& phase) {
                         traceMoment(QStringLiteral("recording phase=") + phaseText(phase));
                     });
    QObject::connect(&session_->model(), &recording::RecordingSessionModel::isPausedChanged,
                     [](bool paused) {
                         traceMoment(QStringLiteral("recording paused=") +
                                     (paused ? QStringLiteral("true") : QStringLiteral("false")));
                     });
    QObject::connect(&session_->model(), &recording::RecordingSessionModel::soundNoteChanged,
                     [](const QString& note) {
                         traceMoment(QStringLiteral("recording sound-note=\"%1\"").arg(note));
                     });
}

RecordingSessionHandle::~RecordingSessionHandle() = default;

capture::RecordingSessionControl::Phase RecordingSessionHandle::phase() const {
    switch (session_->model().phase().kind) {
    case Kind::setup:
        return Phase::setup;
    case Kind::countdown:
        return Phase::countdown;
    case Kind::recording:
        return Phase::recording;
    case Kind::finishing:
        return Phase::finishing;
    }
    return Phase::setup;
}

std::function<std::shared_ptr<capture::RecordingFlow::Session>(
    const capture::RecordingFlow::Request&, capture::RecordingFlow::Completion,
    capture::RecordingFlow::Progress)>
recordingSessionMaker(desktop::EscapeKey& escapeKey) {
    return [&escapeKey](const capture::RecordingFlow::Request& request,
                        capture::RecordingFlow::Completion completion,
                        capture::RecordingFlow::Progress onProgress)
               -> std::shared_ptr<capture::RecordingFlow::Session> {
        recording::RecordingSession::Services services =
            recording::RecordingSession::Services::system();
        services.escapeKey = &escapeKey;
        services.makeWindows = [] {
            return std::make_unique<recording::RecordingWindows>(
                std::make_unique<overlays::SessionOverlayWindows>(
                    platform::PermissionProbe::system()));
        };
        services.alert = [shown = services.alert](const QString& title, const QString& detail) {
            traceMoment(
                QStringLiteral("recording alert title=\"%1\" detail=\"%2\"").arg(title, detail));
            if (shown) {
                shown(title, detail);
            }
        };
        services.toast = [](const QString& title) {
            capture::traceCoordinator(QStringLiteral("recording toast title=\"%1\"").arg(title));
            desktop::showToast(title, std::nullopt, QStringLiteral("macwindow"),
                               QGuiApplication::palette().color(QPalette::PlaceholderText));
        };
        // What the session hands over, traced before the flow delivers it.
        auto traced = [completion =
                           std::move(completion)](const std::optional<app::Recording>& recording) {
            if (recording) {
                capture::traceCoordinator(
                    QStringLiteral("recording made file=\"%1\" duration=%2 scale=%3")
                        .arg(recording->url.toLocalFile())
                        .arg(recording->duration, 0, 'f', 3)
                        .arg(recording->scale));
            }
            completion(recording);
        };
        auto session = std::make_unique<recording::RecordingSession>(
            request.display, request.region, request.windowID, std::move(traced),
            std::move(services));
        // Traced as the text changes: "0:00" marks the moment a stream starts.
        session->onProgress = [onProgress = std::move(onProgress),
                               last = std::make_shared<std::optional<QString>>()](
                                  const std::optional<QString>& elapsed) {
            if (elapsed && elapsed != *last) {
                traceMoment(QStringLiteral("recording elapsed=") + *elapsed);
            }
            *last = elapsed;
            if (onProgress) {
                onProgress(elapsed);
            }
        };
        return std::make_shared<RecordingSessionHandle>(std::move(session));
    };
}

std::optional<capture::CaptureFailure> saveRecordingCopy(const app::Recording& recording) {
    const app::Result<QString> saved = app::SaveLocation::withFolder(
        [&](const QString& folder) { return recording::saveCopy(recording, folder); });
    if (saved)
        return std::nullopt;
    return capture::CaptureFailure{saved.error().description(),
                                   saved.error().code() == app::FileError::Code::userCancelled};
}

void recoverCutOffRecordings() {
    const QString folder = recording::recordingsFolder();
    const QDateTime startedAt = QDateTime::currentDateTime();
    QThreadPool::globalInstance()->start([folder, startedAt] {
        std::vector<recording::RecoveredMovie> movies =
            recording::recoverUnfinishedRecordings(folder, startedAt);
        if (movies.empty()) {
            return;
        }
        QMetaObject::invokeMethod(qApp, [movies = std::move(movies)] {
            for (const recording::RecoveredMovie& movie : movies) {
                app::Recording recording;
                recording.url = QUrl::fromLocalFile(movie.path);
                recording.date = movie.date;
                recording.format = app::Recording::Format::video;
                const app::Result<QString> saved = app::SaveLocation::withFolder(
                    [&](const QString& into) { return recording::saveCopy(recording, into); });
                capture::traceCoordinator(
                    QStringLiteral("recording recovered file=\"%1\" saved=\"%2\"")
                        .arg(movie.path, saved ? saved.value() : QString()));
                //: Toast at start when a recording that was cut off (the program ended while it
                //: ran) was made into a movie; the detail says where it is
                const QString title = QCoreApplication::translate(
                    "shell::RecordingSessions", "A recording that was cut off is saved");
                const QString where = saved
                                          ? QFileInfo(saved.value()).fileName()
                                          : QDir::toNativeSeparators(movie.path) +
                                                QStringLiteral(" — ") + saved.error().description();
                desktop::showToast(title, where, QStringLiteral("checkmark.circle.fill"),
                                   QGuiApplication::palette().color(QPalette::PlaceholderText));
            }
        });
    });
}

} // namespace shell
