#include "overlays/CameraBubble.h"
#include "overlays/SessionOverlayWindows.h"

#include "recording/RecordingSessionModel.h"

#include "app/Preferences.h"
#include "platform/PermissionProbe.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace overlays {
namespace {

using testsupport::pump;

class Probe : public platform::PermissionProbe {
public:
    platform::PermissionStatus status(platform::Permission permission) override {
        if (permission == platform::Permission::camera) {
            return {cameraGranted, cameraGranted ? QString() : QStringLiteral("No camera found")};
        }
        return {true, {}};
    }
    bool canOpenSettings(platform::Permission) override { return false; }
    void openSettings(platform::Permission) override {}
    bool cameraGranted = true;
};

class CameraBubbleTest : public ::testing::Test {
protected:
    // The camera's media framework keeps a plug-in registry in the cache
    // folder; here it goes into a folder that ends with the program.
    static void SetUpTestSuite() {
        static QTemporaryDir registry;
        qputenv("GST_REGISTRY", QFile::encodeName(registry.filePath("registry.bin")));
    }
    CameraBubbleTest() : preferences(dir.file(QStringLiteral("settings.conf"))) {}
    QScreen* screen() const { return QGuiApplication::primaryScreen(); }
    QRectF display() const { return screen()->geometry(); }
    testsupport::TempDir dir;
    app::Preferences preferences;
    const QString key = QStringLiteral("5EF3A1C0-0000-5000-8000-000000000001");
};

TEST_F(CameraBubbleTest, FirstPlaceOnADisplayIs40PointsInsideTheVisibleFrame) {
    CameraBubble bubble(screen(), key, std::nullopt, preferences);
    const QRectF visible = screen()->availableGeometry();
    EXPECT_EQ(bubble.frame(),
              QRectF(visible.right() - 40 - 220, visible.bottom() - 40 - 220, 220, 220));
    // No camera arrives: the grey backdrop with its border shows.
    pump(200);
    const QImage picture = bubble.view()->grab().toImage();
    const QColor middle = picture.pixelColor(picture.rect().center());
    EXPECT_NEAR(middle.redF(), 0.1, 0.02);
    EXPECT_EQ(middle.red(), middle.blue());
    const QColor edge = picture.pixelColor(picture.width() / 2, 1);
    EXPECT_GT(edge.lightness(), 200);
    bubble.close();
    EXPECT_EQ(bubble.view(), nullptr);
}

TEST_F(CameraBubbleTest, DragStopsAtTheEdgeAndStoresFractionsUnderTheDisplaysKey) {
    CameraBubble bubble(screen(), key, std::nullopt, preferences);
    CameraBubbleView* view = bubble.view();
    view->onDragStart();
    view->onDrag(QPointF(5000, -300));
    EXPECT_EQ(bubble.frame().right(), display().right());
    view->onDragEnd();
    ASSERT_TRUE(preferences.cameraPositions().contains(key));
    const QPointF stored = preferences.cameraPositions().value(key);
    EXPECT_GE(stored.x(), 0);
    EXPECT_LE(stored.x(), 1);
    EXPECT_GE(stored.y(), 0);
    EXPECT_LE(stored.y(), 1);
    // The next bubble on that display starts there.
    const QRectF where = bubble.frame();
    bubble.close();
    CameraBubble next(screen(), key, std::nullopt, preferences);
    EXPECT_EQ(next.frame(), where);
}

TEST_F(CameraBubbleTest, AbsurdStoredPositionIsKeptOnTheDisplay) {
    preferences.setCameraPosition(key, QPointF(-40, 1e9));
    CameraBubble bubble(screen(), key, std::nullopt, preferences);
    EXPECT_EQ(bubble.frame().topLeft(), display().topLeft());
}

TEST_F(CameraBubbleTest, ShapeChangeKeepsTheCentre) {
    CameraBubble bubble(screen(), key, std::nullopt, preferences);
    const QPointF centre = bubble.frame().center();
    preferences.setCameraShape(app::CameraShape::roundedRectangle);
    pump(50);
    EXPECT_EQ(bubble.frame().size(), QSizeF(220, 165));
    EXPECT_NEAR(bubble.frame().center().x(), centre.x(), 0.5);
    EXPECT_NEAR(bubble.frame().center().y(), centre.y(), 0.5);
    EXPECT_EQ(bubble.view()->shape(), app::CameraShape::roundedRectangle);
    preferences.setCameraMirrored(false);
    pump(50);
    EXPECT_FALSE(bubble.view()->isMirrored());
}

TEST_F(CameraBubbleTest, InAWindowRecordingItBelongsToTheWindow) {
    const QRectF window(200, 150, 900, 600);
    CameraBubble bubble(screen(), key, window, preferences);
    EXPECT_EQ(bubble.frame(), QRectF(1100 - 20 - 220, 750 - 20 - 220, 220, 220));
    CameraBubbleView* view = bubble.view();
    view->onDragStart();
    view->onDrag(QPointF(-100, -50));
    view->onDragEnd();
    EXPECT_TRUE(preferences.cameraPositions().isEmpty());
    const QRectF before = bubble.frame();
    bubble.windowMoved(window.translated(100, 0));
    EXPECT_EQ(bubble.frame(), before.translated(100, 0));
}

TEST_F(CameraBubbleTest, MenuSetsTheSettingsAndHides) {
    CameraBubble bubble(screen(), key, std::nullopt, preferences);
    int hidden = 0;
    bubble.onHide = [&hidden] { ++hidden; };
    std::unique_ptr<QMenu> menu(bubble.makeMenu());
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Shape"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("Size"));
    EXPECT_TRUE(items[2]->isChecked());
    EXPECT_TRUE(items[3]->isSeparator());
    items[1]->menu()->actions().at(2)->trigger();
    EXPECT_EQ(preferences.cameraSize(), app::CameraSize::large);
    items[2]->trigger();
    EXPECT_FALSE(preferences.cameraMirrored());
    items[4]->trigger();
    EXPECT_EQ(hidden, 1);
}

class SessionCameraTest : public CameraBubbleTest {
protected:
    SessionCameraTest() : model(preferences, probe) {
        setup.model = &model;
        setup.display.screen = screen();
        setup.display.frame = display();
        setup.region = display().toRect();
    }
    Probe probe;
    recording::RecordingSessionModel model;
    recording::SessionWindowsSetup setup;
};

TEST_F(SessionCameraTest, NoCameraDeviceMeansNoBubbleAndTheNote) {
    probe.cameraGranted = false;
    SessionOverlayWindows overlays(probe);
    overlays.present(setup);
    overlays.cameraChanged(true);
    EXPECT_EQ(overlays.camera(), nullptr);
    EXPECT_TRUE(model.cameraDenied());
    EXPECT_TRUE(overlays.windows().isEmpty());
}

TEST_F(SessionCameraTest, HideFromTheMenuTurnsTheOptionOff) {
    SessionOverlayWindows overlays(probe);
    overlays.present(setup);
    model.onCameraChange = [&] { overlays.cameraChanged(model.showCamera()); };
    model.setShowCamera(true);
    ASSERT_NE(overlays.camera(), nullptr);
    EXPECT_EQ(overlays.windows().size(), 1);
    overlays.camera()->onHide();
    EXPECT_FALSE(model.showCamera());
    EXPECT_EQ(overlays.camera(), nullptr);
    pump(50);
    overlays.stop();
    EXPECT_TRUE(overlays.windows().isEmpty());
}

TEST_F(SessionCameraTest, OverlayOnlyForClicksOrKeystrokesAndOncePerSession) {
    SessionOverlayWindows overlays(probe);
    overlays.present(setup);
    overlays.recordingStarted();
    EXPECT_EQ(overlays.overlay(), nullptr) << "neither clicks nor keystrokes";
    model.setHighlightClicks(true);
    overlays.recordingStarted();
    ASSERT_NE(overlays.overlay(), nullptr);
    RecordingOverlay* first = overlays.overlay();
    // A restart keeps the overlay it has.
    overlays.recordingStarted();
    EXPECT_EQ(overlays.overlay(), first);
    EXPECT_EQ(overlays.windows().size(), 1);
    // The followed window moved: the label follows.
    overlays.regionMoved(QRect(50, 60, 300, 200));
    overlays.stop();
    EXPECT_EQ(overlays.overlay(), nullptr);
    EXPECT_TRUE(overlays.windows().isEmpty());
    overlays.recordingStarted();
    EXPECT_EQ(overlays.overlay(), nullptr) << "nothing comes back after stop()";
}

} // namespace
} // namespace overlays
