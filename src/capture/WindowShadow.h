#pragma once

#include <QImage>
#include <QMarginsF>
#include <QSize>

namespace capture {

// The soft shadow drawn around a picture of one window: a wide, dropped shade
// and a thin dark rim, as a window casts on the desktop.
namespace WindowShadow {

// Space around the window in the shadowed picture, in pixels, at `scale`
// pixels per point: 40 points left and right, 26 above and 54 below.
QMarginsF margins(double scale);

// The size of the shadowed picture of a `size` picture.
QSize canvasSize(const QSize& size, double scale);

// The window picture on a larger transparent canvas with its shadow
// (ARGB32 premultiplied, same device pixel ratio); the input itself when it is
// null or the canvas cannot be made.
QImage addWindowShadow(const QImage& window, double scale);

// Blurs an 8-bit coverage mask in place, an approximate Gaussian of standard
// deviation `sigma` pixels (three box passes each way).
void blurAlpha(QImage& mask, double sigma);

} // namespace WindowShadow

} // namespace capture
