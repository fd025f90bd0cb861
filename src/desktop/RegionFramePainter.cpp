#include "desktop/RegionFramePainter.h"

#include <QPainter>
#include <QPainterPathStroker>

namespace desktop::regionFrame {

namespace {

constexpr qreal lineWidth = 2;

QPainterPath stroke(const QPainterPath& path, RegionFrameStyle style) {
    QPainterPathStroker stroker;
    stroker.setWidth(lineWidth);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setCapStyle(Qt::FlatCap);
    if (style == RegionFrameStyle::recording) {
        // In units of the line width: 8 pt on, 5 pt off.
        stroker.setDashPattern({8 / lineWidth, 5 / lineWidth});
    }
    return stroker.createStroke(path);
}

} // namespace

QRectF outlineRect(const QRectF& region) {
    return region.adjusted(-2, -2, 2, 2);
}

QPainterPath outlineArea(const QRectF& region, RegionFrameStyle style) {
    QPainterPath outline;
    outline.addRect(outlineRect(region));
    return stroke(outline, style);
}

QColor recordingRed() {
    return QColor(255, 59, 48);
}

void paint(QPainter& painter, QSizeF size, const QRectF& region, RegionFrameStyle style,
           const QColor& accent, bool dims) {
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRectF(QPointF(0, 0), size), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (style == RegionFrameStyle::dimmed && dims) {
        QPainterPath surround;
        surround.setFillRule(Qt::OddEvenFill);
        surround.addRect(QRectF(QPointF(0, 0), size));
        surround.addRect(region.adjusted(-3, -3, 3, 3));
        painter.fillPath(surround, QColor(0, 0, 0, qRound(0.28 * 255)));
    }
    painter.fillPath(outlineArea(region, style),
                     style == RegionFrameStyle::recording ? recordingRed() : accent);
    painter.restore();
}

} // namespace desktop::regionFrame
