#include "app/WarningSymbol.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace app {

QPixmap warningSymbol(const QColor& tint, int side, qreal devicePixelRatio) {
    QImage image(QSize(side, side) * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QString themed = QStringLiteral("dialog-warning-symbolic");
    if (QIcon::hasThemeIcon(themed)) {
        p.drawPixmap(QRect(0, 0, side, side),
                     QIcon::fromTheme(themed).pixmap(QSize(side, side), devicePixelRatio));
        // The symbol takes the tint, as a template would.
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(QRectF(0, 0, side, side), tint);
    } else {
        p.scale(side, side);
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
    p.end();
    return QPixmap::fromImage(std::move(image));
}

} // namespace app
