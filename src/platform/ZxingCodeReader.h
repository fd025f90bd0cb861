#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

namespace platform {

// The 2-D code families the reader can look for.
enum class CodeSymbology { qr, aztec, dataMatrix, pdf417 };

// One code the reader decoded: its text when the payload is text (binary
// payloads have none) and its bounding box in the image's pixels.
struct DecodedCode {
    std::optional<QString> text;
    QRect box;
};

// Finds and decodes every code of the given families in an 8-bit grey image
// (Format_Grayscale8), in the reader's own order. Thread-safe.
std::vector<DecodedCode> readCodes(const QImage& grey,
                                   const std::vector<CodeSymbology>& symbologies);

} // namespace platform
