#pragma once

#include "platform/IndexedImage.h"

#include <QImage>

#include <optional>

namespace platform {

// Reduces a picture to a palette of at most maxColors (2 to 256) colours
// chosen for it alone, dithered where that hides banding (libimagequant).
// Safe to call from many threads at once. Nothing for a null picture or when
// the library fails.
std::optional<IndexedImage> quantizeColors(const QImage& image, int maxColors);

} // namespace platform
