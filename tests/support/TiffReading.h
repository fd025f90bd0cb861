#pragma once

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

namespace testsupport {

// What libtiff reads back from a TIFF in memory.
struct ReadTiff {
    int width = 0;
    int height = 0;
    int samples = 0;
    float xResolution = 0;
    float yResolution = 0;
    int unit = 0;
    int extraSamples = 0;
    std::vector<std::uint32_t> abgr; // libtiff's RGBA raster, bottom row first

    // The pixels, top row first, without alpha.
    QImage toImage() const;
};

// Nothing when libtiff cannot read the bytes.
std::optional<ReadTiff> readTiff(const QByteArray& bytes);

} // namespace testsupport
