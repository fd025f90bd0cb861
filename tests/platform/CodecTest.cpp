// The TIFF and JPEG writers: what a reader finds in their output.
#include "platform/JpegEncoder.h"
#include "platform/TiffEncoder.h"

#include <QImage>
#include <QRandomGenerator>

#include "support/TiffReading.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <vector>

using platform::JpegEncoder;
using platform::TiffEncoder;
using testsupport::readTiff;

namespace {

QImage colourful(int width, int height, bool alpha) {
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y,
                           qRgba(static_cast<int>(random.bounded(256)), x % 256, y % 256,
                                 alpha ? static_cast<int>(random.bounded(1, 256)) : 255));
        }
    }
    return image;
}

// Opaque on the left, translucent on the right, in a format of 64 bits a pixel.
QImage translucentRightHalf() {
    QImage image(4, 2, QImage::Format_RGBA64);
    image.fill(Qt::white);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 2; x < image.width(); ++x) {
            image.setPixelColor(x, y, QColor(10, 20, 30, 128));
        }
    }
    return image;
}

} // namespace

TEST(TiffEncoder, WritesPixelsAndTheResolutionOfTheScale) {
    struct Case {
        const char* name;
        QImage image;
        double dpi;
        int samples;
    };
    const Case cases[] = {
        {"opaque at scale 2", colourful(37, 11, false), 144, 3},
        {"alpha at scale 1", colourful(5, 9, true), 72, 4},
        {"alpha format, all opaque", colourful(5, 9, false).convertToFormat(QImage::Format_ARGB32),
         72, 3},
        {"alpha in a 64-bit format", translucentRightHalf(), 72, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto tiff = TiffEncoder::encode(c.image, c.dpi);
        ASSERT_TRUE(tiff.has_value());
        const auto read = readTiff(*tiff);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(c.image.width(), read->width);
        EXPECT_EQ(c.image.height(), read->height);
        EXPECT_EQ(c.samples, read->samples);
        EXPECT_FLOAT_EQ(static_cast<float>(c.dpi), read->xResolution);
        EXPECT_FLOAT_EQ(static_cast<float>(c.dpi), read->yResolution);
        EXPECT_EQ(RESUNIT_INCH, read->unit);
        if (c.samples == 4) {
            EXPECT_EQ(EXTRASAMPLE_UNASSALPHA, read->extraSamples);
        }
        // TIFFReadRGBAImage gives premultiplied ABGR, bottom row first.
        const QImage want = c.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < read->height; ++y) {
            for (int x = 0; x < read->width; ++x) {
                const std::uint32_t p =
                    read->abgr[static_cast<std::size_t>((read->height - 1 - y) * read->width + x)];
                const QRgb w = want.pixel(x, y);
                ASSERT_NEAR(qRed(w), static_cast<int>(TIFFGetR(p)), 1) << x << "," << y;
                ASSERT_NEAR(qGreen(w), static_cast<int>(TIFFGetG(p)), 1);
                ASSERT_NEAR(qBlue(w), static_cast<int>(TIFFGetB(p)), 1);
                ASSERT_EQ(qAlpha(w), static_cast<int>(TIFFGetA(p)));
            }
        }
    }
}

TEST(TiffEncoder, GivesNothingForANullImage) {
    EXPECT_FALSE(TiffEncoder::encode(QImage(), 72).has_value());
}

TEST(JpegEncoder, WritesTheDensityInDotsPerInch) {
    for (const auto& [dotsPerMeter, dpi] : {std::pair{2835, 72}, std::pair{5669, 144}}) {
        const auto jpeg = JpegEncoder::encode(colourful(64, 48, false), 90, dotsPerMeter);
        ASSERT_TRUE(jpeg.has_value());
        ASSERT_TRUE(jpeg->startsWith("\xff\xd8"));
        // JFIF APP0: "JFIF\0", version, units 1 = dots per inch, X and Y density.
        const qsizetype jfif = jpeg->indexOf(QByteArray("JFIF\0", 5));
        ASSERT_GE(jfif, 0);
        EXPECT_EQ(1, jpeg->at(jfif + 7));
        EXPECT_EQ(dpi, (static_cast<uchar>(jpeg->at(jfif + 8)) << 8) |
                           static_cast<uchar>(jpeg->at(jfif + 9)));
        EXPECT_EQ(dpi, (static_cast<uchar>(jpeg->at(jfif + 10)) << 8) |
                           static_cast<uchar>(jpeg->at(jfif + 11)));
        const QImage decoded = QImage::fromData(*jpeg, "JPEG");
        EXPECT_EQ(QSize(64, 48), decoded.size());
    }
}

TEST(JpegEncoder, QualityDecidesTheSize) {
    const QImage image = colourful(128, 128, false);
    EXPECT_LT(JpegEncoder::encode(image, 50, 0)->size(), JpegEncoder::encode(image, 90, 0)->size());
    EXPECT_FALSE(JpegEncoder::encode(QImage(), 90, 0).has_value());
}
