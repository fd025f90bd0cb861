#pragma once

#include <QFont>

namespace desktop {

// Whether the ten digits of `font` are equally wide, so that a number that
// changes while it is shown keeps its width.
bool hasFixedWidthDigits(const QFont& font);

// `font` when its digits are equally wide, else the system's fixed-pitch font
// at the same size, weight and slant. Qt cannot ask a font for its tabular
// figures, yet nearly every desktop font draws its digits one width anyway.
QFont withFixedWidthDigits(const QFont& font);

} // namespace desktop
