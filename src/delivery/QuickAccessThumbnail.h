#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QSizeF>

#include <optional>

namespace delivery {

// The opaque part of a screenshot whose corner is transparent (a window
// captured with its shadow), so that the card shows the window and not the
// margin around it. Only the top-left pixel, the middle row and the middle
// column are read; a pixel counts as opaque when its alpha is above 249.
// Pixels, origin at the image's top-left corner. Nothing when there is no
// margin to trim: an image under 3 pixels in either direction, an opaque
// corner or an image without alpha, a middle row or column with no opaque
// pixel, or a crop that would be the whole image.
std::optional<QRect> thumbnailCropRect(const QImage& image);

// The tile of a card for a thumbnail of `points` size: fitted into 220 × 150
// without enlarging, then at least 184 × 108, in whole points.
QSize thumbnailSize(const QSizeF& points);

} // namespace delivery
