#include "platform/ColorQuantizer.h"

#include "platform/DeferredLibrary.h"

#include <libimagequant.h>

#include <algorithm>
#include <memory>

namespace platform {

namespace {

struct Attr {
    liq_attr* attr = liq_attr_create();
    ~Attr() {
        if (attr) {
            liq_attr_destroy(attr);
        }
    }
};
struct Image {
    liq_image* image = nullptr;
    ~Image() {
        if (image) {
            liq_image_destroy(image);
        }
    }
};
struct Result {
    liq_result* result = nullptr;
    ~Result() {
        if (result) {
            liq_result_destroy(result);
        }
    }
};

// The library's speed scale runs from 1 (best) to 10 (fastest); beyond 8 the
// palette loses visibly, below it the time grows fast for little gain.
constexpr int quantizerSpeed = 8;

} // namespace

std::optional<IndexedImage> quantizeColors(const QImage& source, int maxColors) {
    if (source.isNull() || !loadDeferred(DeferredLibrary::gif)) {
        return std::nullopt;
    }
    // The library reads R, G, B, A bytes.
    const QImage rgba = source.convertToFormat(QImage::Format_RGBX8888);
    const int width = rgba.width();
    const int height = rgba.height();
    Attr attr;
    if (!attr.attr || liq_set_max_colors(attr.attr, std::clamp(maxColors, 2, 256)) != LIQ_OK ||
        liq_set_speed(attr.attr, quantizerSpeed) != LIQ_OK) {
        return std::nullopt;
    }
    std::vector<void*> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        rows[static_cast<std::size_t>(y)] = const_cast<uchar*>(rgba.constScanLine(y));
    }
    Image image;
    image.image = liq_image_create_rgba_rows(attr.attr, rows.data(), width, height, 0);
    if (!image.image) {
        return std::nullopt;
    }
    Result result;
    if (liq_image_quantize(image.image, attr.attr, &result.result) != LIQ_OK) {
        return std::nullopt;
    }
    liq_set_dithering_level(result.result, 0.0f);
    IndexedImage out;
    out.size = QSize(width, height);
    out.indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (liq_write_remapped_image(result.result, image.image, out.indices.data(),
                                 out.indices.size()) != LIQ_OK) {
        return std::nullopt;
    }
    const liq_palette* palette = liq_get_palette(result.result);
    out.palette.reserve(palette->count);
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color c = palette->entries[i];
        out.palette.push_back(qRgb(c.r, c.g, c.b));
    }
    return out;
}

} // namespace platform
