#pragma once

#include "overlays/RecordingOverlay.h"

#include "recording/SessionOverlays.h"

#include <QPointer>

#include <memory>

namespace platform {
class PermissionProbe;
}

namespace overlays {

class CameraBubble;

// The overlays of one recording session: the click and keystroke overlay
// once the recording starts, the camera bubble while the camera option is on
// and a camera may be opened (the control bar's note says when it cannot).
class SessionOverlayWindows final : public recording::SessionOverlays {
public:
    explicit SessionOverlayWindows(platform::PermissionProbe& probe);
    ~SessionOverlayWindows() override;

    void present(const recording::SessionWindowsSetup& setup) override;
    void recordingStarted() override;
    void regionMoved(const QRect& region) override;
    void cameraChanged(bool show) override;
    void stop() override;
    QSet<std::uint32_t> windows() const override;

    RecordingOverlay* overlay() const { return overlay_.get(); }
    CameraBubble* camera() const { return camera_.get(); }

private:
    QRectF globalRegion() const;
    void closeCamera();

    platform::PermissionProbe& probe_;
    recording::SessionWindowsSetup setup_;
    bool presented_ = false;
    bool stopped_ = false;
    std::unique_ptr<RecordingOverlay> overlay_;
    std::unique_ptr<CameraBubble> camera_;
};

} // namespace overlays
