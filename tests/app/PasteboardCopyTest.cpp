#include "app/PasteboardCopy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using namespace app;

namespace {

QImage sample(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    image.setPixel(1, 1, qRgb(1, 2, 3));
    return image;
}

} // namespace

TEST(PasteboardItem, HoldsTheFileUrlThenPngThenTiff) {
    const QImage image = sample(40, 30, qRgb(200, 10, 10));
    const PasteboardItem item = PasteboardItem::make(image, QStringLiteral("/tmp/a b.png"), 2.0);
    ASSERT_TRUE(item.png && item.tiff);
    const auto mime = item.mimeData();
    EXPECT_EQ(QStringList({"text/uri-list", "image/png", "image/tiff"}), mime->formats());
    EXPECT_EQ(QList<QUrl>({QUrl::fromLocalFile("/tmp/a b.png")}), mime->urls());
    EXPECT_EQ("file:///tmp/a%20b.png", mime->urls().first().toString(QUrl::FullyEncoded));

    const QImage png = QImage::fromData(mime->data("image/png"), "PNG");
    EXPECT_EQ(image, png.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(144, qRound(png.dotsPerMeterX() * 0.0254));
    EXPECT_TRUE(mime->data("image/tiff").startsWith("II*\0") ||
                mime->data("image/tiff").startsWith("MM\0*"));

    const auto withoutFile = PasteboardItem::make(image, std::nullopt, 1.0).mimeData();
    EXPECT_EQ(QStringList({"image/png", "image/tiff"}), withoutFile->formats());
}

TEST(PasteboardItem, LeavesTiffOutAboveFortyMillionPixels) {
    EXPECT_TRUE(copiesAsTiff(QSize(5000, 8000)));
    EXPECT_TRUE(copiesAsTiff(QSize(40'000'000, 1)));
    EXPECT_FALSE(copiesAsTiff(QSize(40'000'001, 1)));
    EXPECT_FALSE(copiesAsTiff(QSize(5001, 8000)));
    // Large sides whose product overflows 32 bits.
    EXPECT_FALSE(copiesAsTiff(QSize(70000, 70000)));
}

TEST(PasteboardItem, ANullImageGivesOnlyTheFile) {
    const auto mime = PasteboardItem::make(QImage(), QStringLiteral("/tmp/x.png"), 1.0).mimeData();
    EXPECT_EQ(QStringList({"text/uri-list"}), mime->formats());
}

TEST(CopyImageToPasteboard, TheNewestCopyEndsUpOnTheClipboard) {
    QSignalSpy copied(&PasteboardWriter::shared(), &PasteboardWriter::copied);
    copyImageToPasteboard(sample(300, 200, qRgb(0, 0, 255)), std::nullopt, 1.0);
    copyImageToPasteboard(sample(20, 10, qRgb(0, 255, 0)), QStringLiteral("/tmp/green.png"), 1.0);
    ASSERT_TRUE(copied.wait(10000));
    // An older copy that finishes later must not replace the newer one.
    QTest::qWait(200);
    EXPECT_EQ(1, copied.count());
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(nullptr, mime);
    EXPECT_EQ(QList<QUrl>({QUrl::fromLocalFile("/tmp/green.png")}), mime->urls());
    const QImage png = QImage::fromData(mime->data("image/png"), "PNG");
    EXPECT_EQ(QSize(20, 10), png.size());
    EXPECT_EQ(qRgb(0, 255, 0), png.pixel(5, 5));
}
