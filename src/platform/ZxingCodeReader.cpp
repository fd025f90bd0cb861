#include "platform/ZxingCodeReader.h"

#include "platform/DeferredLibrary.h"

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include <algorithm>

namespace platform {

namespace {

ZXing::BarcodeFormat formatOf(CodeSymbology symbology) {
    switch (symbology) {
    case CodeSymbology::qr:
        return ZXing::BarcodeFormat::QRCode;
    case CodeSymbology::aztec:
        return ZXing::BarcodeFormat::Aztec;
    case CodeSymbology::dataMatrix:
        return ZXing::BarcodeFormat::DataMatrix;
    case CodeSymbology::pdf417:
        return ZXing::BarcodeFormat::PDF417;
    }
    return ZXing::BarcodeFormat::None;
}

QRect boundsOf(const ZXing::Position& position) {
    int left = position[0].x, right = left, top = position[0].y, bottom = top;
    for (const auto& corner : position) {
        left = std::min(left, corner.x);
        right = std::max(right, corner.x);
        top = std::min(top, corner.y);
        bottom = std::max(bottom, corner.y);
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

std::vector<DecodedCode> readCodes(const QImage& grey,
                                   const std::vector<CodeSymbology>& symbologies) {
    // Without the library no code is found; why is on standard error.
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8 || symbologies.empty() ||
        !loadDeferred(DeferredLibrary::codes)) {
        return {};
    }
    ZXing::BarcodeFormats formats;
    for (CodeSymbology symbology : symbologies) {
        formats |= formatOf(symbology);
    }
    ZXing::DecodeHints hints;
    hints.setFormats(formats);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                                ZXing::ImageFormat::Lum, static_cast<int>(grey.bytesPerLine()));

    std::vector<DecodedCode> codes;
    for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints)) {
        if (!result.isValid()) {
            continue;
        }
        DecodedCode code;
        code.box = boundsOf(result.position());
        if (result.contentType() != ZXing::ContentType::Binary) {
            code.text = QString::fromStdString(result.text());
        }
        codes.push_back(std::move(code));
    }
    return codes;
}

} // namespace platform
