#include "settings/SettingsSymbol.h"
#include "settings/SettingsPermissions.h"
#include "settings/SettingsWindowController.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// The share of the square's pixels the drawing covers.
double inked(const QImage& image) {
    int covered = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            covered += qAlpha(image.pixel(x, y)) > 64 ? 1 : 0;
        }
    }
    return double(covered) / (image.width() * image.height());
}

// Every symbol the windows ask for is drawn by us where the icon theme has
// none: a real picture (neither a blank nor a blot), in the tint, sharp at
// scale 2, and no two alike.
TEST(SettingsSymbol, EveryNameTheWindowsUseHasADrawingOfItsOwn) {
    QStringList names;
    for (int section = 0; section <= static_cast<int>(settings::SettingsSection::about);
         ++section) {
        names << settings::sectionSymbol(static_cast<settings::SettingsSection>(section));
    }
    for (const auto permission : settings::SettingsPermissions::shownPermissions()) {
        names << settings::permissionSymbol(permission);
    }
    names << QStringLiteral("rectangle.dashed") << QStringLiteral("textformat")
          << QStringLiteral("pencil") << QStringLiteral("lock.shield")
          << QStringLiteral("exclamationmark.triangle.fill");
    names.removeDuplicates(); // the keyboard serves a section and a permission

    const QString savedTheme = QIcon::themeName();
    QIcon::setThemeName(QStringLiteral("no-such-theme"));
    const QColor tint(0x0a, 0x84, 0xff);
    QList<QImage> drawings;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QImage image = settings::settingsSymbol(name, tint, 16, 2.0)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(32, 32));
        const double share = inked(image);
        EXPECT_GT(share, 0.05);
        EXPECT_LT(share, 0.75);
        bool onlyTint = true;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) == 255 && QColor(pixel) != tint) {
                    onlyTint = false;
                }
            }
        }
        EXPECT_TRUE(onlyTint);
        EXPECT_FALSE(drawings.contains(image)) << "drawn like another";
        drawings << image;
    }
    QIcon::setThemeName(savedTheme);
}

} // namespace
