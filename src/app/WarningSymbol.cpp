#include "app/WarningSymbol.h"

#include "app/ThemedSymbol.h"

#include <QPainter>
#include <QPainterPath>

namespace app {

namespace {

// Our own drawing, in a unit square (the painter scaled to the side).
void warningTriangle(QPainter& p, const QColor& tint) {
    QPainterPath triangle;
    triangle.moveTo(0.5, 0.08);
    triangle.lineTo(0.95, 0.88);
    triangle.lineTo(0.05, 0.88);
    triangle.closeSubpath();
    p.setPen(QPen(tint, 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(tint);
    p.drawPath(triangle);
    // The mark is cut out of the triangle.
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setPen(QPen(Qt::black, 0.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0.5, 0.36), QPointF(0.5, 0.6));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(0.5, 0.74), 0.055, 0.055);
}

} // namespace

QPixmap warningSymbol(const QColor& tint, int side, qreal devicePixelRatio) {
    return themedSymbol({QStringLiteral("dialog-warning-symbolic")}, tint, side, devicePixelRatio,
                        [&](QPainter& p) {
                            p.scale(side, side);
                            warningTriangle(p, tint);
                            return true;
                        });
}

} // namespace app
