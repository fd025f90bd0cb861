#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

namespace delivery {

// Draws one of the pictures of a Quick Access card's buttons and badge in
// `box`, in `tint`: "xmark", "pencil", "pin.fill", "scissors", "play.fill",
// "square.and.arrow.up", "square.and.arrow.down", "video.fill". Vector
// drawing, sharp at any scale. False, and nothing drawn, for another name.
bool drawQuickAccessSymbol(QPainter& painter, const QString& symbol, const QRectF& box,
                           const QColor& tint);

} // namespace delivery
