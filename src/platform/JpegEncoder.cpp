#include "platform/JpegEncoder.h"

#include <QBuffer>
#include <QImageWriter>

namespace platform {

std::optional<QByteArray> JpegEncoder::encode(const QImage& source, int quality, int dotsPerMeter) {
    if (source.isNull()) {
        return std::nullopt;
    }
    // The writer takes the density from the image itself; setting it on a
    // shared image detaches, so it is only touched when it differs.
    QImage image = source;
    if (dotsPerMeter > 0 &&
        (image.dotsPerMeterX() != dotsPerMeter || image.dotsPerMeterY() != dotsPerMeter)) {
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image)) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace platform
