#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace platform {

// Baseline JPEG through Qt's libjpeg writer, with the JFIF density in dots
// per inch. Alpha is dropped.
class JpegEncoder {
public:
    // quality is 0–100. Nothing for a null image or when the writer fails.
    static std::optional<QByteArray> encode(const QImage& image, int quality, int dotsPerMeter);
};

} // namespace platform
