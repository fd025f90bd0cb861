// Capture names, encoding and the format of a file extension.
#include "app/Capture.h"
#include "app/CaptureFileName.h"
#include "app/ImageEncoding.h"

#include "support/TempDir.h"

#include <QImage>
#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace app;

namespace {

QDateTime local(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

QImage sample(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
        }
    }
    return image;
}

} // namespace

TEST(CaptureFileName, IsTheProductNameAndTheLocalDateWithFullStops) {
    EXPECT_EQ("Vexlin Capture 2026-12-08 at 14.05.09",
              captureFileName(local(2026, 12, 8, 14, 5, 9)));
    EXPECT_EQ("Vexlin Capture 2027-01-02 at 00.00.00", captureFileName(local(2027, 1, 2, 0, 0, 0)));
    EXPECT_EQ("Vexlin Capture 2026-06-30 at 23.59.59",
              captureFileName(local(2026, 6, 30, 23, 59, 59)));
}

TEST(CaptureFileName, IgnoresTheLocaleAndUsesTheLocalTimeZone) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    const QString name = captureFileName(local(2026, 12, 8, 14, 5, 9));
    QLocale::setDefault(before);
    EXPECT_EQ("Vexlin Capture 2026-12-08 at 14.05.09", name);

    const QDateTime utc = local(2026, 12, 8, 14, 5, 9).toUTC();
    EXPECT_EQ("Vexlin Capture 2026-12-08 at 14.05.09", captureFileName(utc));
}

TEST(ImageFormatFromFileExtension, KnowsPngAndJpegInAnyLetterCase) {
    const std::pair<const char*, std::optional<ImageFormat>> cases[] = {
        {"png", ImageFormat::png},  {"PNG", ImageFormat::png},   {"jpg", ImageFormat::jpeg},
        {"JPG", ImageFormat::jpeg}, {"Jpeg", ImageFormat::jpeg}, {"JPEG", ImageFormat::jpeg},
        {"tiff", std::nullopt},     {"heic", std::nullopt},      {"", std::nullopt},
        {"png ", std::nullopt},
    };
    for (const auto& [extension, format] : cases) {
        EXPECT_EQ(format, imageFormatFromFileExtension(QString::fromUtf8(extension))) << extension;
    }
}

TEST(EncodeImage, WritesSeventyTwoDotsPerInchPerPointOfScale) {
    testsupport::TempDir dir;
    const std::pair<double, int> cases[] = {{1.0, 72}, {2.0, 144}, {1.5, 108}, {3.0, 216}};
    for (const auto& [scale, dpi] : cases) {
        for (const ImageFormat format : {ImageFormat::png, ImageFormat::jpeg}) {
            SCOPED_TRACE(
                QStringLiteral("%1 at scale %2").arg(rawValue(format)).arg(scale).toStdString());
            const std::optional<QByteArray> bytes = encodeImage(sample(200, 100), format, scale);
            ASSERT_TRUE(bytes.has_value());
            const QImage decoded = QImage::fromData(*bytes);
            ASSERT_EQ(QSize(200, 100), decoded.size());
            EXPECT_EQ(dpi, qRound(decoded.dotsPerMeterX() * 0.0254));
            EXPECT_EQ(dpi, qRound(decoded.dotsPerMeterY() * 0.0254));

            const QString path = dir.file(QStringLiteral("image.") + fileExtension(format));
            testsupport::writeAll(path, *bytes);
            const std::optional<Capture> capture = Capture::fromFile(path);
            ASSERT_TRUE(capture.has_value());
            EXPECT_DOUBLE_EQ(Capture::scaleForResolution(dpi), capture->scale);
        }
    }
}

TEST(EncodeImage, PngIsLosslessAndJpegIsClose) {
    const QImage image = sample(123, 45);
    const QImage png = QImage::fromData(*encodeImage(image, ImageFormat::png, 1));
    EXPECT_EQ(image, png.convertToFormat(QImage::Format_RGB32));
    const QImage jpeg = QImage::fromData(*encodeImage(image, ImageFormat::jpeg, 1), "JPEG");
    ASSERT_EQ(image.size(), jpeg.size());
    EXPECT_NEAR(qRed(image.pixel(60, 20)), qRed(jpeg.pixel(60, 20)), 24);
}

// Quality 0.9 shows in the quantisation tables: libjpeg scales its standard
// luminance table (first entry 16) by 200 - 2 × 90 = 20 %, giving 3.
TEST(EncodeImage, JpegHasQualityNinety) {
    const QByteArray jpeg = *encodeImage(sample(64, 64), ImageFormat::jpeg, 1.0);
    const qsizetype table = jpeg.indexOf("\xff\xdb");
    ASSERT_GE(table, 0);
    EXPECT_EQ(0, jpeg.at(table + 4)); // 8-bit table number 0: luminance
    EXPECT_EQ(3, jpeg.at(table + 5));
}

TEST(EncodeImage, GivesNothingForANullImage) {
    EXPECT_FALSE(encodeImage(QImage(), ImageFormat::png, 1).has_value());
    EXPECT_FALSE(encodeImage(QImage(), ImageFormat::jpeg, 1).has_value());
}

TEST(DotsPerInch, TreatsABrokenScaleAsOne) {
    EXPECT_EQ(144.0, dotsPerInch(2.0));
    EXPECT_EQ(5669, dotsPerMeter(2.0));
    EXPECT_EQ(72.0, dotsPerInch(0.0));
    EXPECT_EQ(72.0, dotsPerInch(-2.0));
    EXPECT_EQ(72.0, dotsPerInch(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(72.0, dotsPerInch(std::numeric_limits<double>::infinity()));
}
