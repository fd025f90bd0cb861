#include "desktop/DigitFont.h"

#include <QApplication>
#include <QFontDatabase>

#include <gtest/gtest.h>

namespace {

// Every installed family, at a pixel and at a point size, comes back with
// digits of one width and its size, weight and slant kept.
TEST(DigitFont, EveryFamilyGivesDigitsOfOneWidth) {
    QStringList families = QFontDatabase::families();
    families.prepend(QApplication::font().family());
    for (const QString& family : families) {
        QFont pixel(family);
        pixel.setPixelSize(11);
        pixel.setWeight(QFont::Medium);
        QFont point(family, 13);
        point.setItalic(true);
        for (const QFont& font : {pixel, point}) {
            const QFont got = desktop::withFixedWidthDigits(font);
            EXPECT_TRUE(desktop::hasFixedWidthDigits(got)) << family.toStdString();
            EXPECT_EQ(got.pixelSize(), font.pixelSize()) << family.toStdString();
            EXPECT_EQ(got.pointSizeF(), font.pointSizeF()) << family.toStdString();
            EXPECT_EQ(got.weight(), font.weight()) << family.toStdString();
            EXPECT_EQ(got.italic(), font.italic()) << family.toStdString();
        }
    }
}

} // namespace
