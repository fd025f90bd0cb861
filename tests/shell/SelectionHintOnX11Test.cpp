// The program's own wiring on the rig's X server: the scrolling hot key,
// pressed with xdotool, opens the selection overlay with its hint, which a
// screen reader can read and the screen shows whole. Runs under
// scripts/x11-rig.sh (ctest label x11), also at QT_SCALE_FACTOR=2, and skips
// elsewhere.
#include "shell/AppDelegate.h"

#include "app/HotKeyCenter.h"
#include "capture/CaptureCoordinator.h"
#include "capture/selection/SelectionGeometry.h"
#include "capture/selection/SelectionView.h"

#include "support/EventLoop.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using testsupport::pump;
using testsupport::waitFor;
using testsupport::xdotool;

capture::SelectionView* shownOverlay() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* view = qobject_cast<capture::SelectionView*>(widget);
        if (view != nullptr && view->isVisible()) {
            return view;
        }
    }
    return nullptr;
}

// The root window as the X server shows it, in its own pixels.
QImage screen() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
        QImage::Format_RGB32);
}

bool isBright(QRgb pixel) {
    return qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
}

bool isDark(QRgb pixel) {
    return qRed(pixel) < 60 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}

TEST(SelectionHintOnX11, TheScrollingHotKeyShowsItsHintInTheOverlay) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        GTEST_SKIP() << "needs an X server";
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        GTEST_SKIP() << "needs xdotool";
    }
    // No text-recognition engine is loaded in the background for this.
    qputenv("XCTestConfigurationFilePath", "1");
    shell::AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(app::HotKeyCenter::shared().conflicts().empty());
    pump(200);

    // Away from the hint, so that the crosshair's lines cross nothing near it.
    xdotool({"mousemove", "300", "700"});
    const QImage before = screen();
    xdotool({"key", "shift+alt+super+6"});
    ASSERT_TRUE(waitFor(5000, [] { return shownOverlay() != nullptr; }))
        << "no overlay after the scrolling hot key";
    pump(400);
    capture::SelectionView* view = shownOverlay();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(delegate.coordinator().isSelecting());

    const QString hint = QStringLiteral("Select the area to scroll, then scroll it slowly");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(view);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Description), hint);
    EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty());

    // The pill with the hint lies wholly on the display, and what changed
    // there is light text on a dark pill; nothing of the text spills out.
    const QRectF pill = capture::selection::hintPillFrame(hint, view->width());
    EXPECT_TRUE(QRectF(view->rect()).contains(pill))
        << "pill " << pill.x() << "," << pill.y() << " " << pill.width() << "x" << pill.height();
    const QImage after = screen();
    const qreal ratio = view->devicePixelRatioF();
    const QRect inPixels =
        QRectF(QPointF(view->geometry().topLeft()) * ratio + pill.topLeft() * ratio,
               pill.size() * ratio)
            .toAlignedRect();
    const QRect around = inPixels.adjusted(-40, -40, 40, 40).intersected(after.rect());
    // The pill's anti-aliased rim may fall a pixel or two beyond its frame.
    const QRect pillRim = inPixels.adjusted(-2, -2, 2, 2);
    int textInside = 0;
    int darkInside = 0;
    int textOutside = 0;
    QStringList outsideAt;
    for (int y = around.top(); y <= around.bottom(); ++y) {
        for (int x = around.left(); x <= around.right(); ++x) {
            const QRgb pixel = after.pixel(x, y);
            const bool text = isBright(pixel) && !isBright(before.pixel(x, y));
            if (inPixels.contains(x, y)) {
                textInside += text ? 1 : 0;
                darkInside += isDark(pixel) ? 1 : 0;
            } else if (!pillRim.contains(x, y) && text) {
                ++textOutside;
                outsideAt << QStringLiteral("%1,%2").arg(x).arg(y);
            }
        }
    }
    EXPECT_GT(textInside, 150 * ratio * ratio) << "too little text in the pill";
    EXPECT_GT(darkInside, inPixels.width() * inPixels.height() / 3) << "the pill is not dark";
    EXPECT_EQ(textOutside, 0) << "text outside the pill at " << outsideAt.join(u' ').toStdString()
                              << ", pill " << inPixels.x() << "," << inPixels.y() << " "
                              << inPixels.width() << "x" << inPixels.height();

    // Escape ends it quietly and the program is free again.
    xdotool({"key", "Escape"});
    ASSERT_TRUE(waitFor(5000, [] { return shownOverlay() == nullptr; }));
    ASSERT_TRUE(waitFor(2000, [&] { return !delegate.coordinator().isBusy(); }));
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible())
            << "an alert is shown";
    }
}

} // namespace
