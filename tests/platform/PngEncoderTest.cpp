#include "platform/PngEncoder.h"

#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using platform::PngEncoder;

namespace {

QImage noise(int width, int height, QImage::Format format, quint32 seed) {
    QImage image(width, height, format);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            row[x] = random.generate();
        }
    }
    if (format == QImage::Format_RGB32) {
        // RGB32 ignores the top byte, but it must be 0xff to compare.
        image = image.convertToFormat(QImage::Format_ARGB32).convertToFormat(QImage::Format_RGB32);
    }
    return image;
}

// Screen-like content: flat runs, edges, gradients and repeated patterns, so
// that every filter and long matches across strips all occur.
QImage screenLike(int width, int height, bool alpha) {
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int a = alpha ? (x * 255 / std::max(1, width - 1)) : 255;
            if (y % 40 < 10) {
                row[x] = qRgba(240, 240, 240, a);
            } else if ((x / 7 + y / 9) % 5 == 0) {
                row[x] = qRgba(20, 20, 20 + (x % 7), a);
            } else if (x > width / 2) {
                row[x] = qRgba(x % 256, y % 256, (x + y) % 256, a);
            } else {
                row[x] = qRgba(static_cast<int>(random.bounded(256)), 128, 64, a);
            }
        }
    }
    return image;
}

QImage decode(const QByteArray& png) {
    return QImage::fromData(png, "PNG");
}

// What the file must read back as: the same pixels in a 32-bit format.
QImage expected(const QImage& source) {
    return source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32
                                                           : QImage::Format_RGB32);
}

void expectSamePixels(const QImage& decoded, const QImage& source) {
    ASSERT_FALSE(decoded.isNull());
    ASSERT_EQ(decoded.size(), source.size());
    const QImage want = expected(source);
    const QImage got = decoded.convertToFormat(want.format());
    for (int y = 0; y < want.height(); ++y) {
        ASSERT_EQ(0, std::memcmp(got.constScanLine(y), want.constScanLine(y),
                                 static_cast<std::size_t>(want.width()) * 4))
            << "row " << y;
    }
}

struct RoundTrip {
    const char* name;
    QImage image;
    PngEncoder::Options options;
};

PngEncoder::Options withStrips(int stripBytes, unsigned threads = 0) {
    PngEncoder::Options options;
    options.stripBytes = stripBytes;
    options.maxThreads = threads;
    return options;
}

PngEncoder::Options withFilter(platform::png::Filter filter) {
    PngEncoder::Options options = withStrips(3000);
    options.filter = filter;
    return options;
}

PngEncoder::Options withZlib(int level) {
    PngEncoder::Options options = withStrips(3000);
    options.deflater = PngEncoder::Deflater::zlib;
    options.compressionLevel = level;
    return options;
}

PngEncoder::Options withLevel(int level) {
    PngEncoder::Options options = withStrips(5000);
    options.deflater = PngEncoder::Deflater::libdeflate;
    options.compressionLevel = level;
    return options;
}

} // namespace

TEST(PngEncoder, ReadsBackExactlyThroughLibpng) {
    const RoundTrip cases[] = {
        {"1x1", noise(1, 1, QImage::Format_RGB32, 1), {}},
        {"odd sizes", noise(37, 23, QImage::Format_RGB32, 2), {}},
        {"one row", noise(1001, 1, QImage::Format_RGB32, 3), withStrips(100)},
        {"one column", noise(1, 999, QImage::Format_RGB32, 4), withStrips(100)},
        {"noise, many strips", noise(301, 203, QImage::Format_RGB32, 5), withStrips(4000)},
        {"noise with alpha, many strips", noise(257, 131, QImage::Format_ARGB32, 6),
         withStrips(4000)},
        {"flat", QImage(640, 480, QImage::Format_RGB32), withStrips(10000)},
        {"screen, many strips", screenLike(333, 500, false), withStrips(20000)},
        {"screen with alpha", screenLike(333, 200, true), withStrips(20000)},
        {"screen, one thread", screenLike(333, 200, false), withStrips(8000, 1)},
        {"premultiplied", noise(64, 64, QImage::Format_ARGB32_Premultiplied, 8), {}},
        {"grey", screenLike(50, 50, false).convertToFormat(QImage::Format_Grayscale8), {}},
        {"none filter", screenLike(120, 90, false), withFilter(platform::png::Filter::none)},
        {"sub filter", screenLike(120, 90, true), withFilter(platform::png::Filter::sub)},
        {"up filter", screenLike(120, 90, false), withFilter(platform::png::Filter::up)},
        {"average filter", screenLike(120, 90, true), withFilter(platform::png::Filter::average)},
        {"paeth filter", screenLike(120, 90, false), withFilter(platform::png::Filter::paeth)},
        {"zlib level 1", screenLike(200, 150, false), withZlib(1)},
        {"zlib level 9", noise(200, 150, QImage::Format_ARGB32, 9), withZlib(9)},
        {"libdeflate level 1", screenLike(200, 150, false), withLevel(1)},
        {"libdeflate level 6", screenLike(200, 150, true), withLevel(6)},
        {"libdeflate level 12", screenLike(200, 150, false), withLevel(12)},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        QImage source = c.image;
        if (std::string_view(c.name) == "flat") {
            source.fill(qRgb(12, 200, 90));
        }
        const auto png = PngEncoder::encode(source, c.options);
        ASSERT_TRUE(png.has_value());
        expectSamePixels(decode(*png), source);
    }
}

// Pictures of a given kind at any size, with seeded randomness.
QImage picture(const std::string& kind, int width, int height, bool alpha, quint32 seed) {
    if (kind == "noise") {
        return noise(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32, seed);
    }
    if (kind == "screen") {
        return screenLike(width, height, alpha);
    }
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int a = alpha ? 40 + (x + y) % 200 : 255;
            if (kind == "flat") {
                row[x] = qRgba(30, 60, 90, a);
            } else if (kind == "gradient") {
                row[x] = qRgba(x % 256, (y * 3) % 256, (x + 2 * y) % 256, a);
            } else { // photo: a gradient with grain
                const int grain = static_cast<int>(random.bounded(17)) - 8;
                row[x] = qRgba(std::clamp(x / 4 + grain, 0, 255), std::clamp(y / 3 + grain, 0, 255),
                               std::clamp(128 + grain, 0, 255), a);
            }
        }
    }
    return image;
}

TEST(PngEncoder, ReadsBackEveryShapeAndKindExactly) {
    // Widths around the deflate window too: 11000 RGB pixels are a row of
    // 33001 bytes, beyond its reach.
    const QSize shapes[] = {{1, 1},  {1, 300}, {300, 1},  {2, 3},     {3, 2},
                            {17, 5}, {255, 9}, {1001, 7}, {11000, 4}, {8200, 3}};
    const char* kinds[] = {"flat", "gradient", "photo", "noise", "screen"};
    quint32 seed = 1;
    for (const QSize shape : shapes) {
        for (const char* kind : kinds) {
            for (const bool alpha : {false, true}) {
                SCOPED_TRACE(testing::Message() << kind << " " << shape.width() << "x"
                                                << shape.height() << (alpha ? " RGBA" : " RGB"));
                const QImage source = picture(kind, shape.width(), shape.height(), alpha, ++seed);
                const auto png = PngEncoder::encode(source, withStrips(40'000));
                ASSERT_TRUE(png.has_value());
                expectSamePixels(decode(*png), source);
            }
        }
    }
}

TEST(PngEncoder, RandomisedPicturesReadBackExactly) {
    QRandomGenerator random(99);
    const char* kinds[] = {"flat", "gradient", "photo", "noise", "screen"};
    for (int round = 0; round < 30; ++round) {
        const int width = 1 + static_cast<int>(random.bounded(700));
        const int height = 1 + static_cast<int>(random.bounded(120));
        const char* kind = kinds[random.bounded(5)];
        const bool alpha = random.bounded(2) == 1;
        SCOPED_TRACE(testing::Message()
                     << "round " << round << ": " << kind << " " << width << "x" << height);
        const QImage source = picture(kind, width, height, alpha, static_cast<quint32>(round));
        const auto png =
            PngEncoder::encode(source, withStrips(1 + static_cast<int>(random.bounded(60'000))));
        ASSERT_TRUE(png.has_value());
        expectSamePixels(decode(*png), source);
    }
}

TEST(PngEncoder, WritesAlphaOnlyWhenItIsUsed) {
    const auto colourType = [](const QByteArray& png) { return static_cast<int>(png.at(25)); };
    QImage opaque(20, 20, QImage::Format_ARGB32);
    opaque.fill(qRgba(1, 2, 3, 255));
    QImage translucent = opaque;
    translucent.setPixel(19, 19, qRgba(1, 2, 3, 128));
    EXPECT_EQ(2, colourType(*PngEncoder::encode(opaque)));      // RGB
    EXPECT_EQ(6, colourType(*PngEncoder::encode(translucent))); // RGBA
    EXPECT_EQ(2, colourType(*PngEncoder::encode(noise(8, 8, QImage::Format_RGB32, 1))));
}

TEST(PngEncoder, GivesTheSameBytesWhateverTheThreadCount) {
    const QImage image = screenLike(500, 400, false);
    const auto one = PngEncoder::encode(image, withStrips(16000, 1));
    const auto two = PngEncoder::encode(image, withStrips(16000, 2));
    const auto many = PngEncoder::encode(image, withStrips(16000, 16));
    ASSERT_TRUE(one && two && many);
    EXPECT_EQ(*one, *two);
    EXPECT_EQ(*one, *many);
}

TEST(PngEncoder, StoresTheResolutionAsDotsPerMetre) {
    PngEncoder::Options options;
    options.dotsPerMeter = 5669; // 144 dpi
    const QImage decoded = decode(*PngEncoder::encode(screenLike(200, 100, false), options));
    EXPECT_EQ(5669, decoded.dotsPerMeterX());
    EXPECT_EQ(5669, decoded.dotsPerMeterY());
    EXPECT_EQ(144, qRound(decoded.dotsPerMeterX() * 0.0254));
    EXPECT_FALSE(PngEncoder::encode(screenLike(8, 8, false))->contains("pHYs"));
}

TEST(PngEncoder, GivesNothingForANullImage) {
    EXPECT_FALSE(PngEncoder::encode(QImage()).has_value());
}
