#include "delivery/PinGeometry.h"

#include <algorithm>
#include <cmath>

namespace delivery::pinGeometry {

namespace {

QRectF aboutCentre(const QRectF& frame, double width, double aspect) {
    width = std::clamp(width, minimumZoomWidth, maximumZoomWidth);
    const double height = width / (aspect > 0 ? aspect : 1);
    QRectF result(0, 0, width, height);
    result.moveCenter(frame.center());
    return result;
}

} // namespace

QSizeF pointSize(QSize pixels, double scale) {
    if (!(scale > 0) || !std::isfinite(scale)) {
        scale = 1;
    }
    return {pixels.width() / scale, pixels.height() / scale};
}

double aspectOf(QSizeF points) {
    return points.width() / std::max(points.height(), 1.0);
}

QRectF newPinFrame(QSizeF points, const QRectF& available, int openPins) {
    double fit = 1;
    if (points.width() > 0 && points.height() > 0) {
        fit = std::min({0.6 * available.width() / points.width(),
                        0.6 * available.height() / points.height(), 1.0});
    }
    const double width = points.width() * fit;
    const double height = points.height() * fit;
    const double offset = cascadeStep * (std::max(openPins, 0) % cascadeLength);
    const QPointF centre = available.center();
    return {centre.x() - width / 2 + offset, centre.y() - height / 2 + offset, width, height};
}

QRectF zoomed(const QRectF& frame, double factor, double aspect) {
    return aboutCentre(frame, factor * frame.width(), aspect);
}

QRectF actualSize(const QRectF& frame, QSizeF points, double aspect) {
    return aboutCentre(frame, points.width(), aspect);
}

double wheelFactor(QPoint pixelDelta, QPoint angleDelta) {
    if (!pixelDelta.isNull()) {
        return 1 + pixelDelta.y() / 300.0;
    }
    const double notches = angleDelta.y() / 120.0;
    return 1 + notches / 30.0;
}

double pinchFactor(double magnification) {
    return 1 + magnification;
}

} // namespace delivery::pinGeometry
