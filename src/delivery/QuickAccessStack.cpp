#include "delivery/QuickAccessStack.h"

namespace delivery::QuickAccessStack {

QList<Slot> layout(const QRect& available, app::ScreenCorner corner, const QList<QSize>& sizes) {
    QList<Slot> slots;
    slots.reserve(sizes.size());
    // QRect's right() and bottom() are one short of the edge.
    const int left = available.x();
    const int right = available.x() + available.width();
    int bottom = available.y() + available.height() - margin;
    bool dropping = false;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const QSize size = sizes[i];
        const int x = corner == app::ScreenCorner::bottomRight ? right - margin - size.width()
                                                               : left + margin;
        const int top = bottom - size.height();
        if (i > 0 && top + overlap < available.y() + topReserve) {
            dropping = true;
        }
        slots.append(Slot{QPoint(x, top), dropping});
        bottom = top + overlap;
    }
    return slots;
}

QPoint offstage(const QPoint& topLeft, int width, app::ScreenCorner corner) {
    const int shift = width / 2;
    return topLeft + QPoint(corner == app::ScreenCorner::bottomRight ? shift : -shift, 0);
}

} // namespace delivery::QuickAccessStack
