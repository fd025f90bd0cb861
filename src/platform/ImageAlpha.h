#pragma once

#include <QImage>

namespace platform {

// Whether any pixel of `image`, in whatever format, is less than opaque.
bool hasTranslucentPixels(const QImage& image);

} // namespace platform
