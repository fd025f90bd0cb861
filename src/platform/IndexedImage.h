#pragma once

#include <QRgb>
#include <QSize>

#include <cstdint>
#include <vector>

namespace platform {

// A picture of at most 256 colours: one palette index per pixel, row by row.
struct IndexedImage {
    QSize size;
    std::vector<QRgb> palette;
    std::vector<std::uint8_t> indices;
};

} // namespace platform
