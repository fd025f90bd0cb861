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
#include <QVideoFrame>
#include <QVideoFrameFormat>
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
    const QRectF inside = bubble.view()->bubbleRect();
    const QColor edge = picture.pixelColor(picture.width() / 2, int(inside.top()) + 1);
    EXPECT_GT(edge.lightness(), 200);
    // Where windows blend (as here), a soft black shadow lies under the
    // bubble, deeper below it than above; the frame is the bubble alone.
    const int margin = bubble.view()->shadowMargin();
    ASSERT_GT(margin, 0);
    EXPECT_EQ(QRectF(bubble.view()->geometry()).adjusted(margin, margin, -margin, -margin),
              bubble.frame());
    const int x = picture.width() / 2;
    const QColor below = picture.pixelColor(x, int(inside.bottom()) + 4);
    const QColor above = picture.pixelColor(x, int(inside.top()) - 4);
    EXPECT_GT(below.alpha(), 30);
    EXPECT_LT(above.alpha(), below.alpha());
    EXPECT_EQ(below.red() + below.green() + below.blue(), 0);
    EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0);
    bubble.close();
    EXPECT_EQ(bubble.view(), nullptr);
}

// A camera frame: red on its left half, blue on its right.
QVideoFrame halvesFrame() {
    const QSize size(64, 48);
    QVideoFrame frame(QVideoFrameFormat(size, QVideoFrameFormat::Format_BGRX8888));
    EXPECT_TRUE(frame.map(QVideoFrame::WriteOnly));
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(frame.bits(0) + y * frame.bytesPerLine(0));
        for (int x = 0; x < size.width(); ++x) {
            line[x] = x < size.width() / 2 ? 0xffff0000u : 0xff0000ffu; // BGRX in memory
        }
    }
    frame.unmap();
    return frame;
}

// The colour about a quarter in from the bubble's left and right edges.
std::pair<QColor, QColor> sides(CameraBubble& bubble) {
    const QImage picture = bubble.view()->grab().toImage();
    const int y = picture.height() / 2;
    return {picture.pixelColor(picture.width() / 4, y),
            picture.pixelColor(picture.width() * 3 / 4, y)};
}

// Pictures reach the bubble through the feed's video sink, from the camera
// thread; mirrored by default (the user sees themselves as in a mirror), as
// they come when mirroring is off. When the stream ends (a camera pulled
// out) the bubble goes back to grey.
TEST_F(CameraBubbleTest, CameraPicturesShowMirroredWhenAskedAndGreyOnceTheStreamEnds) {
    ASSERT_TRUE(preferences.cameraMirrored());
    CameraBubble bubble(screen(), key, std::nullopt, preferences);
    bubble.feed().pushFrame(halvesFrame());
    ASSERT_TRUE(testsupport::waitFor(3000, [&] { return sides(bubble).first.blue() > 200; }));
    EXPECT_EQ(sides(bubble).first, QColor(0, 0, 255));
    EXPECT_EQ(sides(bubble).second, QColor(255, 0, 0));

    preferences.setCameraMirrored(false);
    pump(50);
    EXPECT_EQ(sides(bubble).first, QColor(255, 0, 0));
    EXPECT_EQ(sides(bubble).second, QColor(0, 0, 255));

    // The end comes right behind a picture still on its way.
    bubble.feed().pushFrame(halvesFrame());
    bubble.feed().pushFrame(QVideoFrame());
    pump(300);
    ASSERT_TRUE(testsupport::waitFor(3000, [&] { return sides(bubble).first.red() < 100; }));
    const auto [left, right] = sides(bubble);
    EXPECT_NEAR(left.redF(), 0.1, 0.02);
    EXPECT_EQ(left, right);
    EXPECT_EQ(left.red(), left.blue());
    bubble.close();
}

// The stored camera when it is plugged in, else the default one, else the
// first; nothing without a camera.
TEST(CameraChoice, StoredCameraElseTheDefaultElseTheFirst) {
    const QList<QByteArray> ids{"/dev/video0", "/dev/video2", "/dev/video4"};
    struct Case {
        std::optional<QString> stored;
        QList<QByteArray> ids;
        QByteArray defaultID;
        std::optional<qsizetype> chosen;
    };
    const Case cases[] = {
        {QStringLiteral("/dev/video4"), ids, "/dev/video2", 2},
        {QStringLiteral("/dev/video9"), ids, "/dev/video2", 1},
        {std::nullopt, ids, "/dev/video2", 1},
        {QStringLiteral("/dev/video9"), ids, "", 0},
        {QStringLiteral("/dev/video9"), ids, "/dev/video7", 0},
        {QStringLiteral("/dev/video0"), {}, "", std::nullopt},
        {std::nullopt, {}, "", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CameraFeed::chosenIndex(c.stored, c.ids, c.defaultID), c.chosen)
            << c.stored.value_or("none").toStdString() << " / " << c.defaultID.constData();
    }
}

// A stored camera that is gone, with no camera at all (the test machine's
// case): the bubble opens grey, and stays so when the setting changes.
TEST_F(CameraBubbleTest, StoredCameraThatIsGoneLeavesTheBubbleGrey) {
    preferences.setCameraDeviceID(QStringLiteral("/dev/video-gone"));
    CameraBubble bubble(screen(), key, std::nullopt, preferences);
    preferences.setCameraDeviceID(QStringLiteral("/dev/video-other"));
    pump(300);
    EXPECT_FALSE(bubble.feed().hasInput());
    const auto [left, right] = sides(bubble);
    EXPECT_NEAR(left.redF(), 0.1, 0.02);
    EXPECT_EQ(left, right);
    bubble.close();
}

// Once the camera has been set up, the bubble takes its style from the
// settings again, whatever its view showed meanwhile.
TEST_F(CameraBubbleTest, TheCamerasStartAppliesTheStyleAgain) {
    ASSERT_EQ(preferences.cameraShape(), app::CameraShape::circle);
    CameraBubble bubble(screen(), key, std::nullopt, preferences);
    CameraBubbleView* view = bubble.view();
    view->setStyle(app::CameraShape::roundedRectangle, !preferences.cameraMirrored());
    ASSERT_TRUE(
        testsupport::waitFor(3000, [&] { return view->shape() == app::CameraShape::circle; }));
    EXPECT_EQ(view->isMirrored(), preferences.cameraMirrored());
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
