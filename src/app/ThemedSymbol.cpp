#include "app/ThemedSymbol.h"

#include <QIcon>
#include <QImage>
#include <QPainter>

namespace app {

QPixmap themedSymbol(const QStringList& themeNames, const QColor& tint, int side,
                     qreal devicePixelRatio, const std::function<bool(QPainter&)>& drawOwn) {
    QImage image(QSize(side, side) * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QIcon icon;
    for (const QString& name : themeNames) {
        if (QIcon::hasThemeIcon(name)) {
            icon = QIcon::fromTheme(name);
            break;
        }
    }
    if (!icon.isNull()) {
        painter.drawPixmap(QRect(0, 0, side, side),
                           icon.pixmap(QSize(side, side), devicePixelRatio));
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRectF(0, 0, side, side), tint);
    } else if (!drawOwn(painter)) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(tint);
        painter.drawEllipse(QRectF(side * 0.25, side * 0.25, side * 0.5, side * 0.5));
    }
    painter.end();
    return QPixmap::fromImage(std::move(image));
}

} // namespace app
