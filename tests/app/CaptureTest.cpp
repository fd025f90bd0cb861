#include "app/Capture.h"
#include "app/ImageResolution.h"

#include "support/TempDir.h"

#include <QBuffer>
#include <QColor>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using app::Capture;

constexpr double kInchesPerMetre = 0.0254;

QImage sampleImage() {
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(QColor(10, 120, 200));
    image.setPixelColor(3, 4, Qt::red);
    return image;
}

// The image encoded as the format's writer does it, at dots per meter `dpm`
// (none: the image's default).
QByteArray encoded(const char* format, std::optional<int> dpm = std::nullopt) {
    QImage image = sampleImage();
    if (dpm) {
        image.setDotsPerMeterX(*dpm);
        image.setDotsPerMeterY(*dpm);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes;
}

int dpmForDpi(double dpi) {
    return static_cast<int>(std::lround(dpi / kInchesPerMetre));
}

// A PNG the way other programs write it: with no pHYs chunk at all.
QByteArray withoutPhys(QByteArray png) {
    const qsizetype type = png.indexOf("pHYs");
    EXPECT_GT(type, 8);
    png.remove(type - 4, 4 + 4 + 9 + 4); // length, type, data, CRC
    EXPECT_EQ(png.indexOf("pHYs"), -1);
    return png;
}

// Offsets in the JFIF header that libjpeg writes.
constexpr qsizetype kJfifUnits = 13;
constexpr qsizetype kJfifXDensity = 14;

QByteArray withJfifDensity(QByteArray jpeg, std::uint8_t units, std::uint16_t x) {
    EXPECT_EQ(jpeg.mid(6, 5), QByteArray("JFIF\0", 5));
    jpeg[kJfifUnits] = char(units);
    jpeg[kJfifXDensity] = char(x >> 8);
    jpeg[kJfifXDensity + 1] = char(x & 0xFF);
    return jpeg;
}

// A JPEG without JFIF segment, with an Exif segment whose IFD0 holds the
// resolution num/den in `unit` (2 inches, 3 centimetres), in either byte
// order: what cameras and phones write.
QByteArray withExifResolution(QByteArray jpeg, std::uint32_t num, std::uint32_t den,
                              std::uint16_t unit, bool littleEndian) {
    EXPECT_EQ(jpeg.mid(2, 2), QByteArray("\xFF\xE0"));
    const int app0 = (std::uint8_t(jpeg[4]) << 8) | std::uint8_t(jpeg[5]);
    jpeg.remove(2, 2 + app0);
    QByteArray tiff;
    const auto u16 = [&](std::uint32_t v) {
        const char hi = char(v >> 8 & 0xFF), lo = char(v & 0xFF);
        tiff.append(littleEndian ? lo : hi).append(littleEndian ? hi : lo);
    };
    const auto u32 = [&](std::uint32_t v) {
        littleEndian ? (u16(v & 0xFFFF), u16(v >> 16)) : (u16(v >> 16), u16(v & 0xFFFF));
    };
    tiff.append(littleEndian ? "II" : "MM");
    u16(42);
    u32(8);      // IFD0 right after the header
    u16(2);      // two entries
    u16(0x011A); // XResolution: a rational at offset 38
    u16(5);
    u32(1);
    u32(38);
    u16(0x0128); // ResolutionUnit: a short in place
    u16(3);
    u32(1);
    u16(unit);
    u16(0);
    u32(0); // no next IFD
    u32(num);
    u32(den);
    const QByteArray data = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1");
    segment.append(char((data.size() + 2) >> 8)).append(char((data.size() + 2) & 0xFF));
    jpeg.insert(2, segment + data);
    return jpeg;
}

TEST(CaptureScale, FromResolution) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::optional<double> dpi;
        double scale;
    } cases[] = {
        {72, 1},  {144, 2},          {108, 2}, {100, 1},  {36, 1},   {216, 3},
        {1, 1},   {std::nullopt, 1}, {0, 1},   {-144, 1}, {540, 8},  {576, 8},
        {612, 8}, {1e12, 8},         {nan, 1}, {inf, 1},  {-inf, 1}, {107.9, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Capture::scaleForResolution(c.dpi), c.scale)
            << (c.dpi ? std::to_string(*c.dpi) : "none");
    }
}

TEST(CaptureFromFile, ReadsScaleFromTheFilesResolution) {
    const struct {
        const char* name;
        QByteArray bytes;
        double scale;
    } cases[] = {
        {"png 72 dpi", encoded("PNG", dpmForDpi(72)), 1},
        {"png 144 dpi", encoded("PNG", dpmForDpi(144)), 2},
        {"png 108 dpi", encoded("PNG", dpmForDpi(108)), 2},
        {"png 100 dpi", encoded("PNG", dpmForDpi(100)), 1},
        {"png 216 dpi", encoded("PNG", dpmForDpi(216)), 3},
        {"png 1 dpi", encoded("PNG", dpmForDpi(1)), 1},
        {"png without pHYs", withoutPhys(encoded("PNG", dpmForDpi(216))), 1},
        {"png absurd pHYs", encoded("PNG", std::numeric_limits<int>::max()), 8},
        {"jpeg 144 dpi", encoded("JPEG", dpmForDpi(144)), 2},
        {"jpeg density per cm", withJfifDensity(encoded("JPEG"), 2, 57), 2},
        {"jpeg aspect ratio only", withJfifDensity(encoded("JPEG"), 0, 300), 1},
        {"jpeg 216 dpi header", withJfifDensity(encoded("JPEG"), 1, 216), 3},
        {"jpeg exif 144 dpi", withExifResolution(encoded("JPEG"), 144, 1, 2, false), 2},
        {"jpeg exif 72 dpi little-endian", withExifResolution(encoded("JPEG"), 72, 1, 2, true), 1},
        {"jpeg exif 288 over 2 dpi", withExifResolution(encoded("JPEG"), 288, 2, 2, true), 2},
        {"jpeg exif per cm", withExifResolution(encoded("JPEG"), 85, 1, 3, false), 3},
        {"jpeg exif without unit", withExifResolution(encoded("JPEG"), 300, 1, 1, false), 1},
        {"jpeg exif zero denominator", withExifResolution(encoded("JPEG"), 300, 0, 2, true), 1},
        {"bmp 144 dpi", encoded("BMP", dpmForDpi(144)), 2},
        {"bmp default", encoded("BMP"), 1},
    };
    testsupport::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.file(QString::fromLatin1(c.name));
        testsupport::writeAll(path, c.bytes);
        const auto capture = Capture::fromFile(path);
        ASSERT_TRUE(capture);
        EXPECT_EQ(capture->scale, c.scale);
    }
}

TEST(CaptureFromFile, FillsTheRecord) {
    testsupport::TempDir dir;
    // The name says JPEG, the bytes are a PNG: the content decides.
    const QString path = dir.file("shot.jpg");
    testsupport::writeAll(path, encoded("PNG", dpmForDpi(144)));

    const QDateTime before = QDateTime::currentDateTime();
    const auto capture = Capture::fromFile(path);
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->image.size(), QSize(20, 10));
    EXPECT_EQ(capture->image.pixelColor(3, 4), QColor(Qt::red));
    EXPECT_EQ(capture->image.pixelColor(0, 0), QColor(10, 120, 200));
    EXPECT_EQ(capture->scale, 2);
    EXPECT_EQ(capture->filePath, path);
    EXPECT_FALSE(capture->id.isNull());
    EXPECT_GE(capture->date, before);
    EXPECT_LE(capture->date, after);

    const auto again = Capture::fromFile(path);
    ASSERT_TRUE(again);
    EXPECT_NE(again->id, capture->id);
}

TEST(ImageResolution, HeadersWinOverWhatTheDecoderAssumed) {
    // Qt gives a PNG without pHYs the screen's dots per inch; on a HiDPI
    // desktop that is 192, which must not read as a resolution.
    QImage hidpiDefault = sampleImage();
    hidpiDefault.setDotsPerMeterX(dpmForDpi(192));
    EXPECT_EQ(app::horizontalResolution(withoutPhys(encoded("PNG")), hidpiDefault), std::nullopt);
    EXPECT_EQ(app::horizontalResolution(withJfifDensity(encoded("JPEG"), 0, 1), hidpiDefault),
              std::nullopt);
    EXPECT_NEAR(*app::horizontalResolution(encoded("PNG", dpmForDpi(144)), hidpiDefault), 144,
                0.01);
}

// Every byte of a string literal but its terminating zero.
template <std::size_t N> QByteArray literal(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

TEST(ImageResolution, DamagedHeadersReadAsNone) {
    const QByteArray png = literal("\x89PNG\r\n\x1a\n");
    const QByteArray cases[] = {
        png,
        png + literal("\xFF\xFF\xFF\xFFIHDR"),         // length past the end
        png + literal("\x00\x00\x00\x09pHYs\x00\x00"), // cut-off pHYs
        png + literal("\x00\x00\x00\x02pHYs\x00\x00\x00\x00\x00\x00"),
        literal("\xFF\xD8"),
        literal("\xFF\xD8\xFF\xE0\x00\x10JFI"),
        literal("\xFF\xD8\xFF\xE1\x00\x10"
                "Exif\x00\x00MM\x00\x2A\x00\x00\x00\x08"),
        literal("\xFF\xD8\xFF\xE1\x00\x14"
                "Exif\x00\x00II\x2A\x00\xFF\xFF\x00\x00\x01\x00"),
    };
    for (const QByteArray& bytes : cases) {
        EXPECT_EQ(app::horizontalResolution(bytes, QImage()), std::nullopt)
            << bytes.toHex().constData();
    }
}

TEST(CaptureFromData, RefusesMorePixelsThanAllowed) {
    // 20 × 10 = 200 pixels.
    const QByteArray formats[] = {encoded("PNG"), encoded("JPEG"), encoded("BMP")};
    for (const QByteArray& bytes : formats) {
        EXPECT_TRUE(Capture::fromData(bytes, std::nullopt, 200));
        EXPECT_FALSE(Capture::fromData(bytes, std::nullopt, 199));
        EXPECT_TRUE(Capture::fromData(bytes, std::nullopt));
    }
}

TEST(CaptureFromFile, GivesNothingForWhatIsNoReadableImage) {
    testsupport::TempDir dir;
    testsupport::writeAll(dir.file("text.png"), "this is not an image");
    testsupport::writeAll(dir.file("empty.png"), {});
    testsupport::writeAll(dir.file("header only.png"), encoded("PNG").left(40));
    EXPECT_EQ(Capture::fromFile(dir.file("text.png")), std::nullopt);
    EXPECT_EQ(Capture::fromFile(dir.file("empty.png")), std::nullopt);
    EXPECT_EQ(Capture::fromFile(dir.file("header only.png")), std::nullopt);
    EXPECT_EQ(Capture::fromFile(dir.file("missing.png")), std::nullopt);
    EXPECT_EQ(Capture::fromFile(dir.path()), std::nullopt);
    EXPECT_EQ(Capture::fromFile(QString()), std::nullopt);
}

} // namespace
