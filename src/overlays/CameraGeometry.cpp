#include "overlays/CameraGeometry.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cmath>

namespace overlays::cameraGeometry {

namespace {

double width(app::CameraSize size) {
    switch (size) {
    case app::CameraSize::small:
        return 160;
    case app::CameraSize::medium:
        return 220;
    case app::CameraSize::large:
        return 300;
    }
    return 220;
}

double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

} // namespace

QSizeF bubbleSize(app::CameraSize size, app::CameraShape shape) {
    const double w = width(size);
    // std::round rounds halves away from zero.
    const double h = shape == app::CameraShape::circle ? w : std::round(w * 3 * 0.25);
    return {w, h};
}

double cornerRadius(const QSizeF& size, app::CameraShape shape) {
    const double side = std::min(size.width(), size.height());
    return shape == app::CameraShape::circle ? side / 2 : std::round(side * 0.12);
}

QRectF clamped(const QRectF& frame, const QRectF& container) {
    QRectF out = frame;
    out.moveLeft(
        std::max(container.left(), std::min(container.right() - frame.width(), frame.left())));
    out.moveTop(
        std::max(container.top(), std::min(container.bottom() - frame.height(), frame.top())));
    return out;
}

QRectF defaultFrameInWindow(const QSizeF& size, const QRectF& window) {
    const QRectF frame(window.right() - 20 - size.width(), window.bottom() - 20 - size.height(),
                       size.width(), size.height());
    return clamped(frame, window);
}

QRectF defaultFrameOnDisplay(const QSizeF& size, const QRectF& visible, const QRectF& display) {
    const QRectF frame(visible.right() - 40 - size.width(), visible.bottom() - 40 - size.height(),
                       size.width(), size.height());
    return clamped(frame, display);
}

QRectF frameFromStored(const QSizeF& size, const QPointF& stored, const QRectF& display) {
    // Anything unreadable lands at the display's centre, then the frame is
    // kept on it.
    const double fx = std::clamp(finiteOr(stored.x(), 0.5), -1.0, 2.0);
    const double fy = std::clamp(finiteOr(stored.y(), 0.5), -1.0, 2.0);
    const QPointF centre(display.left() + fx * display.width(),
                         display.bottom() - fy * display.height());
    QRectF frame(QPointF(), size);
    frame.moveCenter(centre);
    return clamped(frame, display);
}

QPointF storedFromFrame(const QRectF& frame, const QRectF& display) {
    const QPointF centre = frame.center();
    return {(centre.x() - display.left()) / std::max(display.width(), 1.0),
            (display.bottom() - centre.y()) / std::max(display.height(), 1.0)};
}

QRectF movedWith(const QRectF& frame, const QRectF& from, const QRectF& to) {
    QRectF out = frame;
    if (from.center().x() < frame.center().x()) {
        out.moveRight(to.right() - (from.right() - frame.right()));
    } else {
        out.moveLeft(to.left() + (frame.left() - from.left()));
    }
    if (frame.center().y() < from.center().y()) {
        out.moveTop(to.top() + (frame.top() - from.top()));
    } else {
        out.moveBottom(to.bottom() - (from.bottom() - frame.bottom()));
    }
    return clamped(out, to);
}

QRectF dragged(const QRectF& start, const QPointF& delta, const QRectF& container) {
    return clamped(start.translated(delta), container);
}

QRectF resized(const QRectF& frame, const QSizeF& size, const QRectF& container) {
    QRectF out(QPointF(), size);
    out.moveCenter(frame.center());
    return clamped(out, container);
}

QString displayKey(const QByteArray& edid, std::uint32_t displayNumber) {
    if (edid.isEmpty()) {
        return QString::number(displayNumber);
    }
    QByteArray hash = QCryptographicHash::hash(edid, QCryptographicHash::Sha256).left(16);
    // Shaped as a name-based UUID (version 5 bits, RFC 4122 variant).
    hash[6] = static_cast<char>((hash[6] & 0x0f) | 0x50);
    hash[8] = static_cast<char>((hash[8] & 0x3f) | 0x80);
    const QString hex = QString::fromLatin1(hash.toHex()).toUpper();
    return hex.mid(0, 8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' + hex.mid(16, 4) + '-' +
           hex.mid(20, 12);
}

} // namespace overlays::cameraGeometry
