#pragma once

#include "desktop/PanelSurface.h"

#include <QVariantAnimation>
#include <QWidget>

#include <functional>

namespace capture {

// The self-timer's square: a large white number on a dark rounded square that
// floats above everything, never takes the keyboard, and cancels on a click.
// Where windows cannot blend it is cut to the rounded square and opaque.
class SelfTimerPanel : public QWidget {
    Q_OBJECT
public:
    explicit SelfTimerPanel(int remaining,
                            desktop::PanelSurface::Kind kind = desktop::PanelSurface::kindNow());

    desktop::PanelSurface& surface() const { return *surface_; }
    // The rounded square, in the panel's points.
    QPainterPath shape() const;

    int remaining() const { return remaining_; }
    // Animates the change of the number.
    void setRemaining(int remaining);

    std::function<void()> onCancel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    desktop::PanelSurface* surface_;
    int remaining_;
    int previous_;
    QVariantAnimation change_;
};

} // namespace capture
