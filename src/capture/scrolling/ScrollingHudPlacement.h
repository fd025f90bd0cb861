#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace capture {

// Where the scrolling capture's HUD goes, in global points.
struct HudPlacement {
    QPointF topLeft;
    // The region, shortened at its bottom so that the HUD fits below it, when
    // there was no room for the HUD anywhere outside the region.
    std::optional<QRectF> region;
};

// Beside the region, its top level with the region's top and 8 points inside
// the visible frame: on the right when there is room, else on the left, else
// below or above the region. The HUD must never lie inside the captured
// region, where it would be in every frame; when none of these places has
// room, the region gives up the rows at its bottom that the HUD needs below
// it (and, when even that leaves less than `minimumRegionHeight`, the HUD sits
// in the region's lower right corner).
HudPlacement placeHud(const QRectF& region, const QSizeF& panel, const QRectF& visible);

constexpr double minimumRegionHeight = 40;

} // namespace capture
