#include "shell/RecordingSessions.h"

#include "app/SaveLocation.h"
#include "capture/CoordinatorTrace.h"
#include "desktop/RegionFrameWindow.h"
#include "desktop/Toast.h"
#include "recording/RecordingFiles.h"

#include <QGuiApplication>
#include <QPalette>

namespace shell {

namespace {

using Kind = recording::SessionPhase::Kind;

// The least a session shows: the frame around the region, dimmed in setup
// and outlined while recording. Start, stop and cancel go through the record
// hot key, the tray and Escape.
class FrameOnlyWindows final : public recording::SessionWindows {
public:
    void present(const recording::SessionWindowsSetup& setup) override {
        frame_ =
            std::make_unique<desktop::RegionFrameWindow>(setup.display.frame, QRectF(setup.region));
    }
    void showCountdown() override {}
    void hideCountdown() override {}
    void recordingStarted() override {
        if (frame_)
            frame_->setStyle(desktop::RegionFrameStyle::recording);
    }
    void regionMoved(const QRect& region) override {
        if (!frame_)
            return;
        const QRectF screenFrame = frame_->screenFrame();
        const auto style = frame_->style();
        frame_ = std::make_unique<desktop::RegionFrameWindow>(screenFrame, QRectF(region));
        frame_->setStyle(style);
    }
    void cameraChanged(bool) override {}
    void stopOverlays() override {}
    QSet<std::uint32_t> recordedWindows() const override { return {}; }
    void close() override {
        if (frame_)
            frame_->close();
        frame_.reset();
    }

private:
    std::unique_ptr<desktop::RegionFrameWindow> frame_;
};

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
    capture::traceCoordinator(QStringLiteral("recording phase=") +
                              phaseText(session_->model().phase()));
    QObject::connect(&session_->model(), &recording::RecordingSessionModel::phaseChanged,
                     [](const recording::SessionPhase& phase) {
                         capture::traceCoordinator(QStringLiteral("recording phase=") +
                                                   phaseText(phase));
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
        services.makeWindows = [] { return std::make_unique<FrameOnlyWindows>(); };
        services.toast = [](const QString& title) {
            desktop::showToast(title, std::nullopt, QStringLiteral("macwindow"),
                               QGuiApplication::palette().color(QPalette::PlaceholderText));
        };
        auto session = std::make_unique<recording::RecordingSession>(
            request.display, request.region, request.windowID, std::move(completion),
            std::move(services));
        session->onProgress = std::move(onProgress);
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

} // namespace shell
