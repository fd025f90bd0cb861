#include "desktop/ScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

namespace desktop {
namespace {

using namespace ScreenGeometry;

// Two displays side by side: 1920×1080 and a 1280×1024 one to its right.
const QList<QRectF> kFrames{QRectF(0, 0, 1920, 1080), QRectF(1920, 0, 1280, 1024)};

TEST(ScreenGeometryTest, FindsTheFrameUnderAPoint) {
    struct Case {
        QPointF point;
        qsizetype fallback;
        qsizetype expected;
    } cases[] = {
        {{10, 10}, 0, 0},
        {{1919.5, 500}, 1, 0},
        // The shared edge belongs to the right-hand display only.
        {{1920, 500}, 0, 1},
        {{3199, 1023}, 0, 1},
        // Below the shorter display: in no frame, so the fallback.
        {{2500, 1050}, 1, 1},
        {{2500, 1050}, 0, 0},
        {{-5, -5}, 7, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(indexOfFrameAt(kFrames, c.point, c.fallback), c.expected)
            << c.point.x() << "," << c.point.y();
    }
    EXPECT_EQ(indexOfFrameAt({}, QPointF(0, 0), 0), std::nullopt);
}

TEST(ScreenGeometryTest, MatchesMonitorsByNameThenOutputThenGeometry) {
    const QList<platform::DisplayMonitor> monitors{
        {"left", {"DP-1"}, QRect(0, 0, 1920, 1080), 63, true},
        {"right", {}, QRect(1920, 0, 1280, 1024), 412, false},
    };
    EXPECT_EQ(matchMonitor("right", QRect(), monitors), 412u);
    EXPECT_EQ(matchMonitor("DP-1", QRect(), monitors), 63u);
    EXPECT_EQ(matchMonitor("HDMI-2", QRect(1920, 0, 1280, 1024), monitors), 412u);
    EXPECT_EQ(matchMonitor("HDMI-2", QRect(1920, 0, 1280, 1000), monitors), std::nullopt);
    EXPECT_EQ(matchMonitor("", QRect(0, 0, 1920, 1080), {}), std::nullopt);
}

TEST(ScreenGeometryTest, ConvertsBetweenPointsAndPixels) {
    // A 1512×982 point display at scale 2 is 3024×1964 pixels.
    const CaptureDisplay retina{nullptr, 1, 2.0, QRectF(1920, 0, 1512, 982)};
    EXPECT_EQ(pixelRect(retina), QRect(1920, 0, 3024, 1964));

    // Fractional points widen to whole pixels.
    EXPECT_EQ(localPixels(QRectF(10.25, 5, 400.25, 300), 2.0), QRect(20, 10, 801, 600));
    EXPECT_EQ(localPixels(QRectF(100, 100, 200, 150), 1.0), QRect(100, 100, 200, 150));

    const QRectF global(2000, 50, 200, 100);
    EXPECT_EQ(toLocal(retina, global), QRectF(80, 50, 200, 100));
    EXPECT_EQ(toGlobal(retina, toLocal(retina, global)), global);

    const QList<CaptureDisplay> displays{{nullptr, 7, 1.0, QRectF(0, 0, 1920, 1080)},
                                                  retina};
    EXPECT_EQ(pixelsToPoints(QRect(100, 100, 40, 30), displays), QRectF(100, 100, 40, 30));
    // On the scale-2 display pixels count half, measured from its corner.
    EXPECT_EQ(pixelsToPoints(QRect(2120, 200, 400, 300), displays), QRectF(2020, 100, 200, 150));
}

TEST(ScreenGeometryTest, EveryScreenIsACaptureDisplayWithItsFrameAndScale) {
    const QList<CaptureDisplay> displays = captureDisplays();
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(displays.size(), screens.size());
    for (qsizetype i = 0; i < displays.size(); ++i) {
        EXPECT_EQ(displays[i].screen, screens[i]);
        EXPECT_EQ(displays[i].frame, QRectF(screens[i]->geometry()));
        EXPECT_EQ(displays[i].scale, screens[i]->devicePixelRatio());
        EXPECT_EQ(ScreenGeometry::displayID(screens[i]), displays[i].displayID);
    }
    EXPECT_NE(screenUnderPointer(), nullptr);
}

} // namespace
} // namespace desktop
