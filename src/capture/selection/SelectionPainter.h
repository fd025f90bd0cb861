#pragma once

#include "capture/selection/SelectionMachine.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRectF>

#include <optional>

class QPainter;

namespace capture {

// The magnifier's last pixels: an image and where it lies in the display's
// pixel grid (top-left origin).
struct Magnified {
    QImage image;
    QRect pixels;
};

// The pixels around `pointer` that the magnifier shows: the 24 × 24 pt square
// about it within the display, read from the display's picture.
std::optional<Magnified> readMagnifierPixels(const QImage& picture, QPointF pointer,
                                             const QRectF& bounds, qreal scale);

// Everything one overlay paints from.
struct SelectionPaintState {
    const SelectionMachine* machine = nullptr;
    int view = 0;
    // The display as it was when the overlay opened; painted under everything.
    const QImage* frozen = nullptr;
    const Magnified* magnified = nullptr;
    // Seconds since the crosshair's light cycle started; none while it is off.
    std::optional<double> lightElapsed;
    QColor accent;
};

// The overlay's colours.
namespace selectionColors {
QColor dim();
QColor selectionBlue();
} // namespace selectionColors

// Paints one overlay: the frozen display, then area or window mode and the hint.
void paintSelection(QPainter& painter, const SelectionPaintState& state, const QRectF& exposed);

// A rounded label: white text on a dark pill centred on `center`.
void drawLabel(QPainter& painter, const QString& text, bool large, QPointF center);

} // namespace capture
