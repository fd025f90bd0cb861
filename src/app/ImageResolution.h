#pragma once

#include <QByteArrayView>
#include <QImage>

#include <optional>

namespace app {

// The horizontal resolution an image file declares, in dots per inch, or none
// when it declares none. PNG (pHYs in metres) and JPEG (JFIF density per inch
// or per centimetre, else the Exif resolution) are read from their own
// headers: Qt gives an image
// without a resolution the screen's dots per inch, which on a HiDPI desktop
// would read as a large scale. Other formats go by what Qt decoded, and a
// value equal to Qt's default counts as none.
std::optional<double> horizontalResolution(QByteArrayView fileBytes, const QImage& decoded);

} // namespace app
