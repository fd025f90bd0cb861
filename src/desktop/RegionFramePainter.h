#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>

class QPainter;

namespace desktop {

// How a region frame looks: everything outside the region darkened with an
// accent outline, or, once a recording runs, only a dashed red outline.
enum class RegionFrameStyle { dimmed, recording };

namespace regionFrame {

// The outline's path: the region grown by 2 pt, so a 2 pt line covers the
// band from 1 to 3 pt outside the region and never the region itself.
QRectF outlineRect(const QRectF& region);
// The outline as an area (solid, or dashed 8 on, 5 off for recording).
QPainterPath outlineArea(const QRectF& region, RegionFrameStyle style);

QColor recordingRed();

// Paints the frame over a transparent window of `size`; `dims` false leaves
// out the darkening (a window system that cannot blend windows).
void paint(QPainter& painter, QSizeF size, const QRectF& region, RegionFrameStyle style,
           const QColor& accent, bool dims);

} // namespace regionFrame

} // namespace desktop
