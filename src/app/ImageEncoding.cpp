#include "app/ImageEncoding.h"

#include "platform/JpegEncoder.h"
#include "platform/PngEncoder.h"

#include <cmath>

namespace app {

namespace {

constexpr int jpegQuality = 90;
constexpr double metresPerInch = 0.0254;

} // namespace

double dotsPerInch(double scale) {
    return 72.0 * (std::isfinite(scale) && scale > 0 ? scale : 1.0);
}

int dotsPerMeter(double scale) {
    return static_cast<int>(std::lround(dotsPerInch(scale) / metresPerInch));
}

std::optional<QByteArray> encodeImage(const QImage& image, ImageFormat format, double scale) {
    switch (format) {
    case ImageFormat::png: {
        platform::PngEncoder::Options options;
        options.dotsPerMeter = dotsPerMeter(scale);
        return platform::PngEncoder::encode(image, options);
    }
    case ImageFormat::jpeg:
        return platform::JpegEncoder::encode(image, jpegQuality, dotsPerMeter(scale));
    }
    return std::nullopt;
}

std::optional<ImageFormat> imageFormatFromFileExtension(const QString& extension) {
    const QString lower = extension.toLower();
    if (lower == QLatin1String("png")) {
        return ImageFormat::png;
    }
    if (lower == QLatin1String("jpg") || lower == QLatin1String("jpeg")) {
        return ImageFormat::jpeg;
    }
    return std::nullopt;
}

} // namespace app
