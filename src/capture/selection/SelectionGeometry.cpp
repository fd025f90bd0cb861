#include "capture/selection/SelectionGeometry.h"

#include <QCoreApplication>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace capture::selection {

namespace {

int pixelLineWidth(qreal scale) {
    return std::max(1, static_cast<int>(std::lround(scale)));
}

qreal alignedLine(qreal v, qreal scale) {
    return (std::floor(v * scale) + pixelLineWidth(scale) / 2.0) / scale;
}

} // namespace

QPointF clampToBounds(QPointF p, QSizeF size) {
    return {std::min(std::max(p.x(), 0.0), size.width()),
            std::min(std::max(p.y(), 0.0), size.height())};
}

QRectF rectBetween(QPointF a, QPointF b) {
    return QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                  QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

QPointF squareCorner(QPointF origin, QPointF p, QSizeF size) {
    const qreal dx = p.x() - origin.x();
    const qreal dy = p.y() - origin.y();
    const qreal d = std::max(std::abs(dx), std::abs(dy));
    const QPointF square(origin.x() + (dx < 0 ? -d : d), origin.y() + (dy < 0 ? -d : d));
    return clampToBounds(square, size);
}

QString sizeText(const QRectF& rect) {
    return QStringLiteral("%1 × %2").arg(std::lround(rect.width())).arg(std::lround(rect.height()));
}

CrosshairLines crosshairLines(QPointF pointer, qreal scale) {
    return {QPointF(alignedLine(pointer.x(), scale), alignedLine(pointer.y(), scale)),
            pixelLineWidth(scale) / scale};
}

std::array<QRectF, 2> crosshairRects(QPointF pointer, const QRectF& bounds, qreal scale) {
    const QPointF c = crosshairLines(pointer, scale).center;
    return {QRectF(bounds.left(), c.y() - 4, bounds.width(), 8),
            QRectF(c.x() - 4, bounds.top(), 8, bounds.height())};
}

Light lightCurve(double elapsedSeconds) {
    const double phase = elapsedSeconds < 0 ? 0.0 : std::fmod(elapsedSeconds, 4.0);
    if (phase >= 2.4) {
        return {1800, 0};
    }
    const double eased = 1 - std::pow(1 - phase / 2.4, 3);
    double intensity = phase < 0.3 ? phase / 0.3 : 1 - std::pow((phase - 0.3) / 2.1, 2);
    intensity = std::clamp(intensity, 0.0, 1.0);
    return {1800 * eased, intensity};
}

QRectF magnifierFrame(QPointF pointer, QSizeF bounds) {
    const qreal left =
        bounds.width() - 8 < pointer.x() + 144 ? pointer.x() - 144 : pointer.x() + 24;
    const qreal top =
        bounds.height() - 8 < pointer.y() + 170 ? pointer.y() - 170 : pointer.y() + 24;
    return {left, top, lensSize, lensSize + 26};
}

QRectF lensRect(QPointF pointer, QSizeF bounds) {
    return QRectF(magnifierFrame(pointer, bounds).topLeft(), QSizeF(lensSize, lensSize));
}

QRect magnifierSource(QPointF pointer, qreal scale) {
    const int half = magnifiedPixels / 2;
    return {static_cast<int>(std::floor(pointer.x() * scale)) - half,
            static_cast<int>(std::floor(pointer.y() * scale)) - half, magnifiedPixels,
            magnifiedPixels};
}

QRectF magnifierReadRegion(QPointF pointer, const QRectF& bounds) {
    const QRectF square(std::floor(pointer.x() - 12), std::floor(pointer.y() - 12), 24, 24);
    return square.intersected(bounds);
}

QFont labelFont(bool large) {
    QFont font;
    font.setPixelSize(large ? 13 : 12);
    font.setWeight(QFont::Medium);
    return font;
}

QSizeF textSize(const QString& text, bool large) {
    const QFontMetricsF metrics(labelFont(large));
    return {metrics.horizontalAdvance(text), metrics.height()};
}

QRectF labelPill(QSizeF textSize, QPointF center, bool large) {
    const qreal padX = large ? 14 : 8;
    const qreal padY = large ? 7 : 4;
    const QSizeF size(textSize.width() + 2 * padX, textSize.height() + 2 * padY);
    return {center.x() - size.width() / 2, center.y() - size.height() / 2, size.width(),
            size.height()};
}

QPointF sizeLabelCenter(const QRectF& selection, qreal boundsHeight) {
    qreal y = selection.bottom() + 18;
    if (boundsHeight - 16 < y) {
        y = selection.bottom() - 18;
    }
    return {selection.center().x(), y};
}

QRectF sizeLabelFrame(const QRectF& selection, qreal boundsHeight) {
    return labelPill(textSize(sizeText(selection), false), sizeLabelCenter(selection, boundsHeight),
                     false);
}

QRectF hintPillFrame(const QString& hint, qreal boundsWidth) {
    return labelPill(textSize(hint, true), QPointF(boundsWidth / 2, hintCenterY), true);
}

QSizeF displaySize(const desktop::CaptureDisplay& display) {
    return QRectF(display.frame).size();
}

QString windowLabelText(const desktop::WindowInfo& window) {
    const QString name = window.ownerName.isEmpty()
                             //: Fallback name for a window whose app has no name
                             ? QCoreApplication::translate("SelectionView", "Window")
                             : window.ownerName;
    const QRectF frame(window.frame);
    return QStringLiteral("%1  ·  %2 × %3")
        .arg(name)
        .arg(static_cast<long long>(std::trunc(frame.width())))
        .arg(static_cast<long long>(std::trunc(frame.height())));
}

bool windowHasLabel(const QRectF& rectInView) {
    return rectInView.width() > 160 && rectInView.height() > 80;
}

} // namespace capture::selection
