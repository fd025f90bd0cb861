#include "platform/Yuv420.h"

#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A picture's planes, each row padded so that a stride mistaken for the
// width shows.
struct Planes {
    Planes(int width, int height)
        : yStride(width + 13)
        , cStride(width / 2 + 7)
        , y(std::size_t(yStride) * height, 0xAA)
        , u(std::size_t(cStride) * (height / 2), 0xAA)
        , v(u) {}
    platform::Yuv420Planes view() {
        return {y.data(), yStride, u.data(), cStride, v.data(), cStride};
    }
    int yAt(int x, int row) const { return y[std::size_t(row) * yStride + x]; }
    int uAt(int x, int row) const { return u[std::size_t(row) * cStride + x]; }
    int vAt(int x, int row) const { return v[std::size_t(row) * cStride + x]; }

    int yStride;
    int cStride;
    std::vector<std::uint8_t> y, u, v;
};

// BT.709 video range in floating point, the reference.
struct Reference {
    double y, u, v;
};
Reference reference(double r, double g, double b) {
    const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    return {16 + 219 * luma / 255, 128 + 224 * (b - luma) / 1.8556 / 255,
            128 + 224 * (r - luma) / 1.5748 / 255};
}

TEST(Yuv420, PrimariesGreyAndRangeLimits) {
    struct Case {
        QRgb colour;
        int y, u, v;
    };
    const Case cases[] = {
        {qRgb(0, 0, 0), 16, 128, 128},        {qRgb(255, 255, 255), 235, 128, 128},
        {qRgb(128, 128, 128), 126, 128, 128}, {qRgb(255, 0, 0), 63, 102, 240},
        {qRgb(0, 255, 0), 173, 42, 26},       {qRgb(0, 0, 255), 32, 240, 118},
    };
    for (const Case& c : cases) {
        QImage image(4, 2, QImage::Format_RGB32);
        image.fill(c.colour);
        Planes planes(4, 2);
        ASSERT_TRUE(platform::convertToYuv420(image, planes.view()));
        const QString name = QString::number(c.colour, 16);
        EXPECT_EQ(planes.yAt(3, 1), c.y) << qPrintable(name);
        EXPECT_EQ(planes.uAt(1, 0), c.u) << qPrintable(name);
        EXPECT_EQ(planes.vAt(1, 0), c.v) << qPrintable(name);
        EXPECT_EQ(planes.yAt(4, 0), 0xAA) << "nothing written into the padding";
    }
}

TEST(Yuv420, NoiseMatchesTheReferenceWithChromaAveragedOver2x2) {
    const int width = 70;
    const int height = 38;
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, row, random.generate() | 0xff000000u);
        }
    }
    Planes planes(width, height);
    ASSERT_TRUE(platform::convertToYuv420(image, planes.view()));
    int off = 0;
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const QRgb p = image.pixel(x, row);
            const double expected = reference(qRed(p), qGreen(p), qBlue(p)).y;
            off += std::abs(planes.yAt(x, row) - expected) > 0.5 + 1e-3;
        }
    }
    for (int row = 0; row < height / 2; ++row) {
        for (int x = 0; x < width / 2; ++x) {
            double r = 0, g = 0, b = 0;
            for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
                const QRgb p = image.pixel(2 * x + d.x(), 2 * row + d.y());
                r += qRed(p) / 4.0;
                g += qGreen(p) / 4.0;
                b += qBlue(p) / 4.0;
            }
            const Reference expected = reference(r, g, b);
            off += std::abs(planes.uAt(x, row) - expected.u) > 0.5 + 1e-3;
            off += std::abs(planes.vAt(x, row) - expected.v) > 0.5 + 1e-3;
        }
    }
    // Fixed point may round a value lying within a hair of .5 the other way.
    EXPECT_LE(off, 3);
}

TEST(Yuv420, RefusesWhatItCannotConvert) {
    Planes planes(4, 4);
    QImage odd(3, 4, QImage::Format_RGB32);
    odd.fill(Qt::red);
    EXPECT_FALSE(platform::convertToYuv420(odd, planes.view()));
    QImage rgb888(4, 4, QImage::Format_RGB888);
    rgb888.fill(Qt::red);
    EXPECT_FALSE(platform::convertToYuv420(rgb888, planes.view()));
    EXPECT_EQ(planes.yAt(0, 0), 0xAA);
}

} // namespace
