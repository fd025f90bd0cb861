#include "platform/PngThumbnail.h"

#include "platform/PngEncoder.h"

#include "support/TempDir.h"

#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

// A picture every row filter is chosen for: noise over gradients, with an
// alpha gradient when it has alpha.
QImage busy(QImage::Format format) {
    QImage image(300, 200, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(40));
            image.setPixel(x, y,
                           qRgba((x + noise) % 256, (y * 2 + noise) % 256, (x + y) % 256,
                                 format == QImage::Format_ARGB32 ? 55 + (x * 200) / 300 : 255));
        }
    }
    return image.convertToFormat(format);
}

// The mean of the 5 × 5 box at (bx, by), its colours weighted by alpha
// (premultiplied, as the shrunk picture holds them).
QColor boxMean(const QImage& image, int bx, int by) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    long r = 0, g = 0, b = 0, a = 0;
    for (int y = by * 5; y < by * 5 + 5; ++y) {
        for (int x = bx * 5; x < bx * 5 + 5; ++x) {
            const QRgb p = argb.pixel(x, y);
            r += qRed(p) * qAlpha(p);
            g += qGreen(p) * qAlpha(p);
            b += qBlue(p) * qAlpha(p);
            a += qAlpha(p);
        }
    }
    return QColor(int(r / (25 * 255)), int(g / (25 * 255)), int(b / (25 * 255)), int(a / 25));
}

TEST(PngThumbnail, ShrinksEveryKindOfPngToTheMeansOfItsBoxes) {
    testsupport::TempDir dir;
    for (const QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_Grayscale8}) {
        const QImage original = busy(format);
        const QString path = dir.file(QStringLiteral("busy.png"));
        ASSERT_TRUE(original.save(path, "PNG"));
        const std::optional<QImage> small = platform::readPngFitting(path, QSize(60, 76));
        ASSERT_TRUE(small) << format;
        ASSERT_EQ(small->size(), QSize(60, 40)) << format;
        int worst = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 60; ++x) {
                const QRgb got = small->pixel(x, y);
                const QColor want = boxMean(original, x, y);
                const QColor gotColour = QColor::fromRgba(got);
                worst = std::max({worst, std::abs(gotColour.red() - want.red()),
                                  std::abs(gotColour.green() - want.green()),
                                  std::abs(gotColour.blue() - want.blue()),
                                  std::abs(gotColour.alpha() - want.alpha())});
            }
        }
        EXPECT_LE(worst, 1) << format;
    }
}

TEST(PngThumbnail, SmallPicturesKeepTheirSizeAndOthersGiveNone) {
    testsupport::TempDir dir;
    const QString small = dir.file(QStringLiteral("small.png"));
    ASSERT_TRUE(busy(QImage::Format_RGB32).copy(0, 0, 30, 20).save(small, "PNG"));
    EXPECT_EQ(platform::readPngFitting(small, QSize(120, 76))->size(), QSize(30, 20));

    const QString jpeg = dir.file(QStringLiteral("photo.png"));
    ASSERT_TRUE(busy(QImage::Format_RGB32).save(jpeg, "JPEG"));
    EXPECT_FALSE(platform::readPngFitting(jpeg, QSize(120, 76)));

    const QString cut = dir.file(QStringLiteral("cut.png"));
    ASSERT_TRUE(busy(QImage::Format_RGB32).save(cut, "PNG"));
    const QByteArray whole = testsupport::readAll(cut);
    testsupport::writeAll(cut, whole.left(whole.size() / 2));
    EXPECT_FALSE(platform::readPngFitting(cut, QSize(120, 76)));
    EXPECT_FALSE(platform::readPngFitting(dir.file(QStringLiteral("missing.png")), QSize(120, 76)));
}

} // namespace

TEST(PngThumbnail, ReadsTheProgramsOwnPngFilesAsItReadsQtsFiles) {
    testsupport::TempDir dir;
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        const QImage original = busy(format);
        platform::PngEncoder::Options manyStrips;
        manyStrips.stripBytes = 20'000;
        const auto ours = platform::PngEncoder::encode(original, manyStrips);
        ASSERT_TRUE(ours) << format;
        QFile file(dir.file(QStringLiteral("ours.png")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(*ours) == ours->size());
        file.close();
        const QString theirs = dir.file(QStringLiteral("qt.png"));
        ASSERT_TRUE(original.save(theirs, "PNG"));
        const auto fromOurs = platform::readPngFitting(file.fileName(), QSize(60, 76));
        const auto fromQts = platform::readPngFitting(theirs, QSize(60, 76));
        ASSERT_TRUE(fromOurs && fromQts) << format;
        EXPECT_EQ(*fromQts, *fromOurs) << format;
    }
}
