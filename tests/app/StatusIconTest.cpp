#include "app/StatusBarController.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// Relative luminance of an sRGB colour, and the contrast ratio of two colours
// (1 to 21) as accessibility guidelines define them.
double luminance(const QColor& colour) {
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette scheme(QColor window, QColor text) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    return palette;
}

// The application palette is global: every test puts the old one back.
class StatusIcon : public testing::Test {
protected:
    ~StatusIcon() override { QApplication::setPalette(saved_); }

    // The share of the icon's square, laid on the panel, that stands out from
    // the panel by a contrast ratio of at least 3, the least over trays of one
    // and two pixels a point.
    static double legibleShare(const QIcon& icon, const QColor& panel) {
        double least = 1;
        for (const qreal scale : {1.0, 2.0}) {
            QImage image = icon.pixmap(QSize(22, 22), scale).toImage();
            EXPECT_EQ(image.size(), QSize(22, 22) * scale);
            image.setDevicePixelRatio(1);
            QImage laid(image.size(), QImage::Format_ARGB32_Premultiplied);
            laid.fill(panel);
            {
                QPainter painter(&laid);
                painter.drawImage(0, 0, image);
            }
            image = laid;
            int standing = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    standing += contrast(image.pixelColor(x, y), panel) >= 3 ? 1 : 0;
                }
            }
            least = std::min(least, double(standing) / (image.width() * image.height()));
        }
        return least;
    }

    // The red of the stop button's disc, away from its white square.
    static QColor discColour(const QIcon& icon) {
        return icon.pixmap(QSize(32, 32), 1.0).toImage().pixelColor(16, 5);
    }

    QPalette saved_ = QApplication::palette();
};

// The panel is not the application's: a light theme beside a dark panel is
// the common case, so the mark must read on either whatever the palette.
TEST_F(StatusIcon, ReadsOnDarkAndLightPanelsWhateverThePalette) {
    const QPalette palettes[] = {
        scheme(QColor(0x2b, 0x2b, 0x2b), QColor(0xf2, 0xf2, 0xf2)),
        scheme(QColor(0xef, 0xef, 0xef), QColor(0x1a, 0x1a, 0x1a)),
    };
    const QColor panels[] = {QColor(0x10, 0x10, 0x10), QColor(0x80, 0x80, 0x80),
                             QColor(0xf0, 0xf0, 0xf0), QColor(0x20, 0x30, 0x60)};
    app::StatusBarController controller([](app::CaptureAction) {});
    for (const QPalette& palette : palettes) {
        QApplication::setPalette(palette);
        for (const QColor& panel : panels) {
            // The brackets and the block cover about a third of the square.
            EXPECT_GE(legibleShare(controller.trayIcon()->icon(), panel), 0.2)
                << palette.color(QPalette::Window).name().toStdString() << " on "
                << panel.name().toStdString();
        }
    }
}

TEST_F(StatusIcon, RecordingStaysRedThroughAPaletteChangeAndTheMarkComesBack) {
    const QPalette dark = scheme(QColor(0x20, 0x20, 0x20), QColor(0xee, 0xee, 0xee));
    const QPalette light = scheme(QColor(0xf0, 0xf0, 0xf0), QColor(0x10, 0x10, 0x10));
    QApplication::setPalette(dark);
    app::StatusBarController controller([](app::CaptureAction) {});
    controller.setRecording(QStringLiteral("0:03"));
    EXPECT_EQ(discColour(controller.trayIcon()->icon()), QColor(255, 59, 48));

    QApplication::setPalette(light);
    EXPECT_EQ(discColour(controller.trayIcon()->icon()), QColor(255, 59, 48));

    controller.setRecording(std::nullopt);
    EXPECT_GE(legibleShare(controller.trayIcon()->icon(), QColor(0x10, 0x10, 0x10)), 0.2);
}

} // namespace
