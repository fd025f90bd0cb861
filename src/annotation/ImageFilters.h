#pragma once

#include <QImage>

namespace annotation {

// Whole-image filters for the pixelate and blur marks. Both treat the image
// as extending its edge pixels outwards, and return an image of the same size
// in Format_ARGB32_Premultiplied with the input's colour space.
namespace imageFilters {

// Gaussian blur of standard deviation `sigma` pixels, approximated by three
// successive box blurs per direction, rows and columns in parallel.
QImage gaussianBlur(const QImage& image, double sigma);
// The same over an image given up by its owner, blurred where it lies when it
// is already in Format_ARGB32_Premultiplied.
QImage gaussianBlur(QImage&& image, double sigma);

// Square cells of `cell` pixels, each the colour of the pixel at its centre,
// with the grid aligned to the image's bottom-left corner.
QImage pixellate(const QImage& image, double cell);

// The same filters for one area of the image: `target`, of the image's size
// and in Format_ARGB32_Premultiplied, receives inside `area` exactly the
// pixels the whole-image filter gives there, and is left alone elsewhere.
// False when memory runs out.
bool gaussianBlurArea(const QImage& image, double sigma, const QRect& area, QImage& target);
bool pixellateArea(const QImage& image, double cell, const QRect& area, QImage& target);

} // namespace imageFilters
} // namespace annotation
