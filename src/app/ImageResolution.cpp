#include "app/ImageResolution.h"

#include <cstdint>

namespace app {

namespace {

constexpr double kInchesPerMetre = 0.0254;
constexpr double kCentimetresPerInch = 2.54;

std::uint32_t bigEndian32(QByteArrayView bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) {
        return static_cast<std::uint32_t>(std::uint8_t(bytes[at + i]));
    };
    return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

std::uint16_t bigEndian16(QByteArrayView bytes, qsizetype at) {
    return static_cast<std::uint16_t>(std::uint8_t(bytes[at]) << 8 | std::uint8_t(bytes[at + 1]));
}

// The pHYs chunk, which must come before the first IDAT.
std::optional<double> pngResolution(QByteArrayView bytes) {
    qsizetype at = 8; // past the signature
    while (at + 8 <= bytes.size()) {
        const std::uint32_t length = bigEndian32(bytes, at);
        const QByteArrayView type = bytes.sliced(at + 4, 4);
        const qsizetype data = at + 8;
        if (type == "IDAT" || type == "IEND") {
            break;
        }
        if (type == "pHYs") {
            constexpr std::uint8_t kPerMetre = 1;
            if (length < 9 || data + 9 > bytes.size() ||
                std::uint8_t(bytes[data + 8]) != kPerMetre) {
                return std::nullopt;
            }
            return bigEndian32(bytes, data) * kInchesPerMetre;
        }
        if (length > static_cast<std::uint32_t>(bytes.size())) {
            break;
        }
        at = data + static_cast<qsizetype>(length) + 4; // data and CRC
    }
    return std::nullopt;
}

// The JFIF APP0 segment, which must directly follow the start of image.
std::optional<double> jpegResolution(QByteArrayView bytes) {
    constexpr qsizetype kApp0 = 2;
    constexpr qsizetype kDensity = kApp0 + 4 + 5 + 2; // marker, length, "JFIF\0", version
    if (bytes.size() < kDensity + 3 || std::uint8_t(bytes[kApp0]) != 0xFF ||
        std::uint8_t(bytes[kApp0 + 1]) != 0xE0 ||
        bytes.sliced(kApp0 + 4, 5) != QByteArrayView("JFIF\0", 5)) {
        return std::nullopt;
    }
    const std::uint8_t units = std::uint8_t(bytes[kDensity]);
    const double density = bigEndian16(bytes, kDensity + 1);
    switch (units) {
    case 1:
        return density;
    case 2:
        return density * kCentimetresPerInch;
    default: // an aspect ratio only
        return std::nullopt;
    }
}

} // namespace

std::optional<double> horizontalResolution(QByteArrayView fileBytes, const QImage& decoded) {
    if (fileBytes.startsWith(QByteArrayView("\x89PNG\r\n\x1a\n"))) {
        return pngResolution(fileBytes);
    }
    if (fileBytes.startsWith(QByteArrayView("\xFF\xD8"))) {
        return jpegResolution(fileBytes);
    }
    const int qtDefault = QImage(1, 1, QImage::Format_ARGB32).dotsPerMeterX();
    if (decoded.dotsPerMeterX() <= 0 || decoded.dotsPerMeterX() == qtDefault) {
        return std::nullopt;
    }
    return decoded.dotsPerMeterX() * kInchesPerMetre;
}

} // namespace app
