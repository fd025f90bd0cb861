#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace recording {

// Where the recording controls go, in global points (top-left origin): 10
// points under the region when they fit there with 8 to spare above the
// visible frame's bottom, else 10 points above it, else inside the region 24
// points above its bottom (and at least 24 above the visible frame's bottom).
// Across, centred on the region and kept 8 points inside the visible frame,
// the right margin winning when the panel is wider than the frame.
//
// `region` is the recorded area and `visible` the visible frame of its
// screen (the work area), both global.
QPointF controlPanelOrigin(QSizeF panel, const QRectF& region, const QRectF& visible);

} // namespace recording
