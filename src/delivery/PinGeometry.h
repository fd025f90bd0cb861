#pragma once

#include <QPoint>
#include <QRectF>
#include <QSizeF>

namespace delivery::pinGeometry {

// The sums behind a pinned screenshot's frame, in global points (top-left
// origin, y down). No widgets, no screens.

// Widths a zoom keeps a pin within.
inline constexpr double minimumZoomWidth = 60;
inline constexpr double maximumZoomWidth = 4000;
// Smallest size the window manager lets the user drag a pin's edges to.
inline constexpr double minimumEdge = 40;
// How far each further pin is moved right and down, and after how many pins
// the cascade starts over at the centre.
inline constexpr double cascadeStep = 24;
inline constexpr int cascadeLength = 6;

// The image's size in points: its pixels over the scale (a scale that is not
// a positive number counts as 1).
QSizeF pointSize(QSize pixels, double scale);

// Width over height, with a height below one point counting as one.
double aspectOf(QSizeF points);

// The frame of a new pin for an image of `points` on a screen whose free
// area is `available`, with `openPins` pins already showing: shrunk to at
// most 60 % of the area each way (never enlarged), centred, then moved
// cascadeStep × (openPins mod cascadeLength) right and down.
QRectF newPinFrame(QSizeF points, const QRectF& available, int openPins);

// `frame` resized about its centre to factor × its width, kept within
// minimumZoomWidth…maximumZoomWidth, with height = width / aspect.
QRectF zoomed(const QRectF& frame, double factor, double aspect);

// `frame` resized about its centre to the image's own size in points, with
// the width kept within the zoom's limits and height = width / aspect.
QRectF actualSize(const QRectF& frame, QSizeF points, double aspect);

// The zoom of one wheel event: a pixel delta (touchpads) of dy gives
// 1 + dy / 300; otherwise the wheel's notches (angleDelta.y / 120) give
// 1 + notches / 30. Up (positive) enlarges.
double wheelFactor(QPoint pixelDelta, QPoint angleDelta);

// The zoom of a pinch step: 1 + its magnification.
double pinchFactor(double magnification);

} // namespace delivery::pinGeometry
