#pragma once

#include <QImage>

namespace platform {

// A 32-bit picture (RGB32 or ARGB32, premultiplied or not) of even width and
// height at half its size: each pixel the rounded average of its 2×2 block,
// channel by channel, in the same format. What a display of scale 2 recorded
// at one pixel per point needs each frame, several times faster than a
// general smooth scaling. Null for another format or an odd side.
QImage halfSize(const QImage& image);

} // namespace platform
