#pragma once

#include "desktop/PanelSurface.h"
#include "desktop/RegionFrameWindow.h"
#include "recording/ControlBar.h"
#include "recording/SessionOverlays.h"
#include "recording/SessionWindows.h"

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>

namespace recording {

class RecordingSessionModel;

// The floating panel that holds the control bar: a frameless tool window on
// top of the others and on every desktop, which never takes the focus and is
// dragged by its background.
class ControlPanel : public QWidget {
    Q_OBJECT
public:
    ControlPanel(ControlBar* bar);
    ControlBar* bar() const { return bar_; }
    desktop::PanelSurface* surface() const { return surface_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    ControlBar* bar_;
    desktop::PanelSurface* surface_;
    std::optional<QPoint> dragOffset_;
};

// The large round countdown over the region: 150 × 150 points, clicks pass
// through it.
class CountdownPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int side = 150;
    static constexpr int circle = 130;
    static constexpr std::chrono::milliseconds transition{250};
    explicit CountdownPanel(RecordingSessionModel* model);
    // The number shown; nothing outside the countdown.
    std::optional<int> number() const;
    // How far the change to the number shown has come, 0 to 1.
    double progress() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();

    QPointer<RecordingSessionModel> model_;
    // The number that gives way while the next one rolls in.
    std::optional<int> leaving_;
    std::optional<int> shown_;
    QVariantAnimation roll_;
};

// The bar's state from the session's model.
controlBar::State barState(const RecordingSessionModel& model);

// The session's windows on X11. The click and keystroke overlay and the
// camera bubble come from `overlays`; without them nothing is shown for
// either, and recordedWindows() stays empty.
class RecordingWindows final : public QObject, public SessionWindows {
    Q_OBJECT
public:
    explicit RecordingWindows(QObject* parent = nullptr);
    explicit RecordingWindows(std::unique_ptr<SessionOverlays> overlays, QObject* parent = nullptr);
    ~RecordingWindows() override;

    void present(const SessionWindowsSetup& setup) override;
    void showCountdown() override;
    void hideCountdown() override;
    void recordingStarted() override;
    void regionMoved(const QRect& region) override;
    void cameraChanged(bool show) override;
    void stopOverlays() override;
    QSet<std::uint32_t> recordedWindows() const override;
    void close() override;

    // The windows, for tests and pictures; null when not there.
    desktop::RegionFrameWindow* frameWindow() const { return frame_; }
    ControlPanel* controlPanel() const { return panel_; }
    CountdownPanel* countdownPanel() const { return countdown_; }

    // The region in global points.
    QRectF globalRegion() const;

private:
    SessionWindowsSetup setup_;
    QPointer<desktop::RegionFrameWindow> frame_;
    QPointer<ControlPanel> panel_;
    QPointer<CountdownPanel> countdown_;
    std::unique_ptr<SessionOverlays> overlays_;
    bool closed_ = false;
};

} // namespace recording
