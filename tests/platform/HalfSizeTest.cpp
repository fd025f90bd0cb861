#include "platform/HalfSize.h"

#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

// Each output pixel is its 2×2 block's rounded average, channel by channel
// (alpha too), in the same format; a frame large enough to be split over
// threads comes out the same as one worked row by row.
TEST(HalfSize, EachPixelIsItsBlocksRoundedAverage) {
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        SCOPED_TRACE(int(format));
        // 4K: the size a scale-2 display gives.
        QImage image(3840, 2160, format);
        QRandomGenerator random(7);
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<quint32*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const quint32 alpha = format == QImage::Format_RGB32 ? 0xff : random.bounded(256);
                const auto channel = [&] { return random.bounded(alpha + 1); };
                row[x] = qRgba(channel(), channel(), channel(), alpha);
            }
        }
        const QImage half = platform::halfSize(image);
        ASSERT_EQ(half.size(), QSize(1920, 1080));
        ASSERT_EQ(half.format(), format);
        const auto word = [](const QImage& picture, int x, int y) {
            return reinterpret_cast<const quint32*>(picture.constScanLine(y))[x];
        };
        int wrong = 0;
        for (int y = 0; y < half.height(); y += 7) {
            for (int x = 0; x < half.width(); x += 3) {
                const quint32 block[] = {word(image, 2 * x, 2 * y), word(image, 2 * x + 1, 2 * y),
                                         word(image, 2 * x, 2 * y + 1),
                                         word(image, 2 * x + 1, 2 * y + 1)};
                const quint32 got = word(half, x, y);
                for (int shift = 0; shift < 32; shift += 8) {
                    int sum = 2;
                    for (quint32 pixel : block) {
                        sum += int((pixel >> shift) & 0xff);
                    }
                    wrong += int((got >> shift) & 0xff) != sum / 4;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(HalfSize, RefusesOddSidesAndOtherFormats) {
    EXPECT_TRUE(platform::halfSize(QImage(5, 4, QImage::Format_RGB32)).isNull());
    EXPECT_TRUE(platform::halfSize(QImage(4, 3, QImage::Format_RGB32)).isNull());
    EXPECT_TRUE(platform::halfSize(QImage(4, 4, QImage::Format_RGB888)).isNull());
    QImage grey(2, 2, QImage::Format_RGB32);
    grey.fill(QColor(10, 20, 30));
    EXPECT_EQ(platform::halfSize(grey).pixel(0, 0), qRgb(10, 20, 30));
}

} // namespace
