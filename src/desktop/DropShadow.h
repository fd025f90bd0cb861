#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>

class QPainter;
class QPainterPath;

namespace desktop {

// A soft drop shadow: the coverage (alpha) of something, blurred, in black.
// Shadows are soft, so they are made at a lower resolution where the blur
// allows it and drawn back up smoothly over `target`.
struct DropShadow {
    QImage image;
    // Where the image goes, in the source's device pixels (relative to the
    // source's top-left corner); it reaches beyond the source by the blur.
    QRectF target;
};

// The shadow of what `source` covers: its alpha blurred by a Gaussian of
// `sigma` device pixels, black at `alpha` of the coverage.
DropShadow dropShadow(const QImage& source, double sigma, double alpha);

// The shadow of `shape` filled, for a screen of `scale` device pixels a
// point: `shape` in points, from its own origin; `sigma` in points.
DropShadow shapeShadow(const QPainterPath& shape, qreal scale, double sigma, double alpha);

// Draws `shadow`, made by shapeShadow() at `scale`, for a shape whose origin
// lies at `origin` (points; a drop offset included).
void drawShadow(QPainter& painter, const DropShadow& shadow, QPointF origin, qreal scale);

// The shadow of an opaque rectangle of `size` device pixels whose top-left
// corner lies `fraction` (0 ≤ x, y < 1) past a whole pixel. The last few are
// kept: a canvas that is only repainted casts the same shadow again.
const DropShadow& rectShadow(QSizeF size, QPointF fraction, double sigma, double alpha);

} // namespace desktop
