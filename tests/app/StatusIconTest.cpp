#include "app/StatusBarController.h"

#include <QApplication>
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

    // The lowest contrast of the icon's opaque pixels with the panel colour,
    // over trays of one and two pixels a point; 0 when nothing is opaque.
    static double worstContrast(const QIcon& icon, const QColor& panel) {
        double worst = 21;
        int opaque = 0;
        for (const qreal scale : {1.0, 2.0}) {
            const QImage image = icon.pixmap(QSize(22, 22), scale).toImage();
            EXPECT_EQ(image.size(), QSize(22, 22) * scale);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    if (pixel.alpha() == 255) {
                        ++opaque;
                        worst = std::min(worst, contrast(pixel, panel));
                    }
                }
            }
        }
        return opaque > 0 ? worst : 0;
    }

    // The red of the stop button's disc, away from its white square.
    static QColor discColour(const QIcon& icon) {
        return icon.pixmap(QSize(32, 32), 1.0).toImage().pixelColor(16, 5);
    }

    QPalette saved_ = QApplication::palette();
};

TEST_F(StatusIcon, ContrastsWithThePanelAndFollowsPaletteChanges) {
    struct Case {
        const char* name;
        QPalette palette;
    };
    const Case cases[] = {
        {"dark", scheme(QColor(0x2b, 0x2b, 0x2b), QColor(0xf2, 0xf2, 0xf2))},
        {"light", scheme(QColor(0xef, 0xef, 0xef), QColor(0x1a, 0x1a, 0x1a))},
        {"dark again", scheme(QColor(0x12, 0x12, 0x30), QColor(Qt::white))},
    };
    // Made under whatever palette came first; every case below changes the
    // palette of a running icon.
    app::StatusBarController controller([](app::CaptureAction) {});
    for (const Case& c : cases) {
        QApplication::setPalette(c.palette);
        const QColor panel = c.palette.color(QPalette::Window);
        EXPECT_GE(worstContrast(controller.trayIcon()->icon(), panel), 4.5) << c.name;
        EXPECT_GE(worstContrast(app::statusIcon(), panel), 4.5) << c.name;
    }
}

TEST_F(StatusIcon, RecordingStaysRedThroughAPaletteChangeAndTheMarkComesBackTinted) {
    const QPalette dark = scheme(QColor(0x20, 0x20, 0x20), QColor(0xee, 0xee, 0xee));
    const QPalette light = scheme(QColor(0xf0, 0xf0, 0xf0), QColor(0x10, 0x10, 0x10));
    QApplication::setPalette(dark);
    app::StatusBarController controller([](app::CaptureAction) {});
    controller.setRecording(QStringLiteral("0:03"));
    EXPECT_EQ(discColour(controller.trayIcon()->icon()), QColor(255, 59, 48));

    QApplication::setPalette(light);
    EXPECT_EQ(discColour(controller.trayIcon()->icon()), QColor(255, 59, 48));

    controller.setRecording(std::nullopt);
    EXPECT_GE(worstContrast(controller.trayIcon()->icon(), light.color(QPalette::Window)), 4.5);
}

} // namespace
