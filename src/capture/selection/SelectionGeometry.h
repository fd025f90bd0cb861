#pragma once

#include "desktop/CaptureDisplay.h"
#include "desktop/WindowInfo.h"

#include <QFont>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <array>

// The measures of the selection overlay, shared by its input and its drawing.
// View coordinates are points of one display with the origin at its top-left
// corner; "global" is the desktop's top-left coordinate system.
namespace capture::selection {

// `p` limited to 0…width and 0…height.
QPointF clampToBounds(QPointF p, QSizeF size);

// The rectangle from the smaller to the larger x and y of two corners.
QRectF rectBetween(QPointF a, QPointF b);

// The corner of a square drag from `origin` towards `p` (Shift held): the
// larger distance on both axes, each with its own sign, clamped again to the
// display so the square may be cut at its edges.
QPointF squareCorner(QPointF origin, QPointF p, QSizeF size);

// "W × H" in whole points, halves rounded away from zero.
QString sizeText(const QRectF& rect);

// The crosshair's lines, aligned to whole pixels: their centre and thickness
// in points (at least one pixel, the scale rounded otherwise).
struct CrosshairLines {
    QPointF center;
    qreal thickness = 1;
};
CrosshairLines crosshairLines(QPointF pointer, qreal scale);

// The two 8 pt bands that the crosshair's lines and light occupy.
std::array<QRectF, 2> crosshairRects(QPointF pointer, const QRectF& bounds, qreal scale);

// The travelling light on the crosshair: 4 s cycles, 2.4 s of travel to
// 1800 pt and 1.6 s of rest.
struct Light {
    qreal radius = 0;
    qreal intensity = 0;
};
Light lightCurve(double elapsedSeconds);

// The magnifier: its 120 × 120 pt lens plus 26 pt of room for the coordinate
// label below, beside the pointer or, near the right and bottom edges, on the
// other side of it.
constexpr qreal lensSize = 120;
constexpr qreal magnifierPointSize = 8;
constexpr int magnifiedPixels = 15;
QRectF magnifierFrame(QPointF pointer, QSizeF bounds);
QRectF lensRect(QPointF pointer, QSizeF bounds);
// The 15 × 15 pixel square around the pointer's pixel, in the display's pixels.
QRect magnifierSource(QPointF pointer, qreal scale);
// The 24 × 24 pt square read for the magnifier, within the bounds.
QRectF magnifierReadRegion(QPointF pointer, const QRectF& bounds);

// Label pills: small for sizes and coordinates, large for the hint.
QFont labelFont(bool large);
QSizeF textSize(const QString& text, bool large);
QRectF labelPill(QSizeF textSize, QPointF center, bool large);

// Where the size label of a selection goes: 18 pt below it, or 18 pt inside its
// bottom edge when that would come within 16 pt of the display's bottom.
QPointF sizeLabelCenter(const QRectF& selection, qreal boundsHeight);
QRectF sizeLabelFrame(const QRectF& selection, qreal boundsHeight);

// The hint's pill, centred near the top of the display.
constexpr qreal hintCenterY = 64;
QRectF hintPillFrame(const QString& hint, qreal boundsWidth);

// The size of `display` in points.
QSizeF displaySize(const desktop::CaptureDisplay& display);

// A hovered window's label: its program's name (or "Window"), a middle dot
// and its size in whole points; only windows wider than 160 and taller than
// 80 pt get one.
QString windowLabelText(const desktop::WindowInfo& window);
bool windowHasLabel(const QRectF& rectInView);

} // namespace capture::selection
