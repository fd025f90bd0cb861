#pragma once

#include "capture/selection/SelectionPainter.h"
#include "desktop/CaptureDisplay.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <optional>

class QTimer;

namespace desktop {
class ShimmerView;
} // namespace desktop

namespace capture {

class SelectionSession;

// The overlay on one display: a borderless window above everything, outside
// the window manager's control, that shows the display as it was when the
// selection opened, paints the selection over it and passes the pointer and
// the keys on to the session.
class SelectionView final : public QWidget {
    Q_OBJECT

public:
    SelectionView(SelectionSession* session, int index, const desktop::DisplaySnapshot& snapshot);
    ~SelectionView() override;

    int index() const { return index_; }
    // Makes this overlay the one that receives the keys.
    void takeKeyboard();
    // Brings repaints, timers, the shimmer and the pixel reading up to date
    // with the session's state.
    void sync();
    void setModeCursor();
    void stopAnimations();

    bool isLightRunning() const;
    bool isMagnifierRunning() const;
    const std::optional<Magnified>& magnified() const { return magnified_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void updateTimers();
    void updateShimmer();
    void startPixelReading();
    void lightTick();
    QRectF magnifierDamage() const;

    QPointer<SelectionSession> session_;
    int index_;
    desktop::DisplaySnapshot snapshot_;
    desktop::ShimmerView* shimmer_;
    QTimer* lightTimer_;
    QTimer* magnifierTimer_;
    std::optional<QElapsedTimer> lightStart_;
    bool wasLit_ = false;
    std::optional<Magnified> magnified_;
    std::optional<QPointF> magnifyAt_;
    bool dragging_ = false;
};

} // namespace capture
