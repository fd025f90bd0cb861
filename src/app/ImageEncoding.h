#pragma once

#include "app/SettingsEnums.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace app {

// The resolution every output of an image carries: 72 dots per inch per point
// of scale (144 at scale 2). A scale that is not a positive number counts as 1.
double dotsPerInch(double scale);
int dotsPerMeter(double scale);

// The image as PNG or JPEG file bytes (JPEG at quality 0.9) with that
// resolution; nothing when encoding fails. PNG encoding uses every core.
std::optional<QByteArray> encodeImage(const QImage& image, ImageFormat format, double scale);

// "png" gives png, "jpg" and "jpeg" give jpeg, in any letter case; anything
// else, the empty extension included, gives nothing.
std::optional<ImageFormat> imageFormatFromFileExtension(const QString& extension);

} // namespace app
