#pragma once

#include "capture/scrolling/ScrollStitcher.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <vector>

// Fixtures of the stitcher tests: frames cut from one tall page of noise at
// known offsets, between fixed header and footer bands, and the pictures a
// correct stitch must give.
namespace stitchtest {

// Opaque noise, the same for the same seed on every machine.
inline QImage noise(int width, int height, std::uint64_t seed) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    std::uint64_t state = seed;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            // splitmix64
            std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
            z ^= z >> 31;
            row[x] = 0xff000000u | static_cast<std::uint32_t>(z & 0xffffff);
        }
    }
    return image;
}

// The pictures one above the other, all of the first one's width.
inline QImage stacked(const std::vector<QImage>& parts) {
    int height = 0;
    for (const QImage& part : parts) {
        height += part.height();
    }
    QImage out(parts.front().width(), height, QImage::Format_ARGB32_Premultiplied);
    int y = 0;
    for (const QImage& part : parts) {
        const QImage same = part.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int r = 0; r < same.height(); ++r, ++y) {
            std::memcpy(out.scanLine(y), same.constScanLine(r),
                        static_cast<std::size_t>(out.width()) * 4);
        }
    }
    return out;
}

inline QImage rows(const QImage& image, int first, int count) {
    return image.copy(0, first, image.width(), count);
}

// A scrolling region: a fixed header, a window onto the page, a fixed footer.
struct Region {
    QImage page;
    QImage header; // may be null: no header
    QImage footer; // may be null: no footer
    int frameHeight = 0;

    int headerRows() const { return header.isNull() ? 0 : header.height(); }
    int footerRows() const { return footer.isNull() ? 0 : footer.height(); }
    int bodyRows() const { return frameHeight - headerRows() - footerRows(); }

    // The frame with the page scrolled down by `offset` rows.
    QImage frame(int offset) const { return frame(offset, footer); }
    QImage frame(int offset, const QImage& withFooter) const {
        std::vector<QImage> parts;
        if (!header.isNull()) {
            parts.push_back(header);
        }
        parts.push_back(rows(page, offset, bodyRows()));
        if (!withFooter.isNull()) {
            parts.push_back(withFooter);
        }
        return stacked(parts);
    }
    // What stitching every frame from `from` to `to` must give.
    QImage stitched(int from, int to) const { return stitched(from, to, footer); }
    QImage stitched(int from, int to, const QImage& lastFooter) const {
        std::vector<QImage> parts;
        if (!header.isNull()) {
            parts.push_back(header);
        }
        parts.push_back(rows(page, from, to - from + bodyRows()));
        if (!lastFooter.isNull()) {
            parts.push_back(lastFooter);
        }
        return stacked(parts);
    }
};

// Compares two pictures pixel for pixel and names the first difference.
inline ::testing::AssertionResult samePixels(const QImage& actual, const QImage& expected) {
    if (actual.isNull()) {
        return ::testing::AssertionFailure() << "no picture";
    }
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << "size " << actual.width() << "x" << actual.height() << ", expected "
               << expected.width() << "x" << expected.height();
    }
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const std::uint32_t*>(a.constScanLine(y));
        const auto* rb = reinterpret_cast<const std::uint32_t*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (ra[x] != rb[x]) {
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                                     << std::hex << ra[x] << ", expected " << rb[x];
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace stitchtest

namespace capture {

inline void PrintTo(const ScrollStitcher::AddResult& result, std::ostream* out) {
    if (result.isAppended()) {
        *out << "appended(" << result.rows() << ")";
        return;
    }
    static const char* const names[] = {"started", "nothingNew", "lostTrack", "heightLimit"};
    *out << names[static_cast<int>(*result.code())];
}

} // namespace capture
