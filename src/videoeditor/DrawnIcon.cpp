#include "videoeditor/DrawnIcon.h"

#include <QPainter>
#include <QPixmap>

namespace videoeditor {

QIcon drawnIcon(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(QSize(16, 16) * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace videoeditor
