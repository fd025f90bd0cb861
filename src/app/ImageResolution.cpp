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

// The TIFF structure inside an Exif segment: IFD0's XResolution (a rational)
// in the unit of its ResolutionUnit (inches unless it says otherwise).
std::optional<double> exifResolution(QByteArrayView tiff) {
    if (tiff.size() < 8) {
        return std::nullopt;
    }
    const bool little = tiff.startsWith(QByteArrayView("II"));
    if (!little && !tiff.startsWith(QByteArrayView("MM"))) {
        return std::nullopt;
    }
    const auto u16 = [&](qsizetype at) -> std::optional<std::uint32_t> {
        if (at < 0 || at + 2 > tiff.size()) {
            return std::nullopt;
        }
        const std::uint32_t a = std::uint8_t(tiff[at]), b = std::uint8_t(tiff[at + 1]);
        return little ? (b << 8 | a) : (a << 8 | b);
    };
    const auto u32 = [&](qsizetype at) -> std::optional<std::uint32_t> {
        const auto high = u16(little ? at + 2 : at);
        const auto low = u16(little ? at : at + 2);
        if (!high || !low) {
            return std::nullopt;
        }
        return *high << 16 | *low;
    };
    const auto ifd = u32(4);
    const auto count = ifd ? u16(*ifd) : std::nullopt;
    if (!count) {
        return std::nullopt;
    }
    constexpr std::uint32_t kXResolution = 0x011A;
    constexpr std::uint32_t kResolutionUnit = 0x0128;
    constexpr std::uint32_t kRational = 5;
    constexpr std::uint32_t kShort = 3;
    std::optional<double> resolution;
    std::uint32_t unit = 2; // inches
    for (std::uint32_t i = 0; i < *count; ++i) {
        const qsizetype entry = *ifd + 2 + qsizetype(i) * 12;
        const auto tag = u16(entry);
        const auto type = u16(entry + 2);
        if (!tag || !type) {
            return std::nullopt;
        }
        if (*tag == kXResolution && *type == kRational) {
            const auto at = u32(entry + 8);
            const auto numerator = at ? u32(*at) : std::nullopt;
            const auto denominator = at ? u32(*at + 4) : std::nullopt;
            if (!numerator || !denominator || *denominator == 0) {
                return std::nullopt;
            }
            resolution = double(*numerator) / double(*denominator);
        } else if (*tag == kResolutionUnit && *type == kShort) {
            const auto value = u16(entry + 8);
            if (!value) {
                return std::nullopt;
            }
            unit = *value;
        }
    }
    if (!resolution) {
        return std::nullopt;
    }
    switch (unit) {
    case 2:
        return resolution;
    case 3:
        return *resolution * kCentimetresPerInch;
    default: // no absolute unit
        return std::nullopt;
    }
}

// The segments before the image data: a JFIF APP0 with an absolute density
// wins; otherwise an Exif APP1's resolution counts (cameras and phones write
// no JFIF, or one that only states an aspect ratio).
std::optional<double> jpegResolution(QByteArrayView bytes) {
    std::optional<double> exif;
    qsizetype at = 2; // past the start of image
    while (at + 4 <= bytes.size()) {
        if (std::uint8_t(bytes[at]) != 0xFF) {
            break;
        }
        const std::uint8_t marker = std::uint8_t(bytes[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        constexpr std::uint8_t kStartOfScan = 0xDA, kEndOfImage = 0xD9;
        if (marker == kStartOfScan || marker == kEndOfImage) {
            break;
        }
        const qsizetype length = bigEndian16(bytes, at + 2);
        if (length < 2 || at + 2 + length > bytes.size()) {
            break;
        }
        const QByteArrayView data = bytes.sliced(at + 4, length - 2);
        if (marker == 0xE0 && data.size() >= 12 && data.startsWith(QByteArrayView("JFIF\0", 5))) {
            constexpr qsizetype kUnits = 7; // "JFIF\0" and the version
            const std::uint8_t units = std::uint8_t(data[kUnits]);
            const double density = bigEndian16(data, kUnits + 1);
            if (units == 1) {
                return density;
            }
            if (units == 2) {
                return density * kCentimetresPerInch;
            }
        } else if (marker == 0xE1 && !exif && data.startsWith(QByteArrayView("Exif\0\0", 6))) {
            exif = exifResolution(data.sliced(6));
        }
        at += 2 + length;
    }
    return exif;
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
