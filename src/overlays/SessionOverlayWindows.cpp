#include "overlays/SessionOverlayWindows.h"

#include "overlays/CameraBubble.h"

#include "recording/RecordingSessionModel.h"

#include "app/Preferences.h"
#include "platform/PermissionProbe.h"

#include <QScreen>

namespace overlays {

SessionOverlayWindows::SessionOverlayWindows(platform::PermissionProbe& probe) : probe_(probe) {}

SessionOverlayWindows::~SessionOverlayWindows() {
    stop();
}

QRectF SessionOverlayWindows::globalRegion() const {
    return QRectF(setup_.region).translated(setup_.display.frame.topLeft());
}

void SessionOverlayWindows::present(const recording::SessionWindowsSetup& setup) {
    setup_ = setup;
    presented_ = true;
}

void SessionOverlayWindows::recordingStarted() {
    recording::RecordingSessionModel* model = setup_.model;
    if (!presented_ || stopped_ || overlay_ || model == nullptr) {
        return;
    }
    const bool keystrokes = model->showKeystrokes();
    if (!model->highlightClicks() && !keystrokes) {
        return;
    }
    RecordingOverlay::Options options;
    options.displayFrame = setup_.display.frame;
    options.region = QRectF(setup_.region);
    options.highlightClicks = model->highlightClicks();
    if (keystrokes) {
        options.keystrokeMode = model->preferences().keystrokeMode();
    }
    options.position = model->preferences().keystrokePosition();
    overlay_ = std::make_unique<RecordingOverlay>(options);
}

void SessionOverlayWindows::regionMoved(const QRect& region) {
    setup_.region = region;
    if (overlay_) {
        overlay_->setRegion(QRectF(region));
    }
    if (camera_ && setup_.windowID) {
        camera_->windowMoved(globalRegion());
    }
}

void SessionOverlayWindows::cameraChanged(bool show) {
    recording::RecordingSessionModel* model = setup_.model;
    if (!presented_ || stopped_ || model == nullptr) {
        return;
    }
    if (!show) {
        closeCamera();
        model->setCameraDenied(false);
        return;
    }
    if (camera_) {
        return;
    }
    // No camera this user may open: the bar's note says so, and the
    // recording goes on without the bubble.
    if (!probe_.status(platform::Permission::camera).granted) {
        model->setCameraDenied(true);
        return;
    }
    model->setCameraDenied(false);
    QScreen* screen = setup_.display.screen;
    std::optional<QRectF> window;
    if (setup_.windowID) {
        window = globalRegion();
    }
    camera_ = std::make_unique<CameraBubble>(screen, CameraBubble::displayKeyOf(screen), window,
                                             model->preferences());
    QPointer<recording::RecordingSessionModel> weakModel(model);
    camera_->onHide = [weakModel] {
        if (weakModel)
            weakModel->setShowCamera(false);
    };
}

void SessionOverlayWindows::closeCamera() {
    if (camera_) {
        camera_->close();
        // Not from inside one of its own menu's handlers.
        camera_.release()->deleteLater();
    }
}

void SessionOverlayWindows::stop() {
    stopped_ = true;
    if (overlay_) {
        overlay_->stop();
        overlay_.reset();
    }
    closeCamera();
}

QSet<std::uint32_t> SessionOverlayWindows::windows() const {
    QSet<std::uint32_t> ids;
    if (overlay_ && overlay_->window()) {
        ids.insert(static_cast<std::uint32_t>(overlay_->window()->winId()));
    }
    if (camera_ && camera_->view()) {
        ids.insert(static_cast<std::uint32_t>(camera_->view()->winId()));
    }
    return ids;
}

} // namespace overlays
