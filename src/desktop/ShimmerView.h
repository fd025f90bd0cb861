#pragma once

#include <QElapsedTimer>
#include <QPainterPath>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QTimer;

namespace desktop {

// A light that sweeps over the hovered window every 2.8 s, only over its
// visible part. Never takes the mouse.
class ShimmerView final : public QWidget {
    Q_OBJECT

public:
    explicit ShimmerView(QWidget* parent);

    // Shows the sweep over `rect` (parent coordinates); `occluders` are the
    // windows in front of it in the window's own coordinates. The same window
    // keeps its running sweep.
    void sweep(std::uint32_t window, const QRectF& rect, const std::vector<QRectF>& occluders);
    // Hides it and forgets the window.
    void stop();

    const std::optional<std::uint32_t>& sweptWindow() const { return sweptWindow_; }

    // The visible part of a window of `size`: a rounded rectangle without the
    // rounded rectangles of the windows in front.
    static QPainterPath visibleShape(QSizeF size, const std::vector<QRectF>& occluders);
    // Where the bright band is, as the start and end of the gradient in the
    // window's unit square, `elapsed` seconds into the sweep.
    static std::pair<QPointF, QPointF> gradientLine(double elapsed);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<std::uint32_t> sweptWindow_;
    QPainterPath shape_;
    QElapsedTimer started_;
    QTimer* timer_;
};

} // namespace desktop
