// Screen capture against the rig's X server (Xvfb + openbox): pictures are
// compared with what ImageMagick's `import` reads from the screen and with the
// known pixels of a target window.
#include "CapturePattern.h"

#include "capture/ScreenCapturer.h"
#include "capture/WindowShadow.h"
#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"

#include "platform/ScreenGrabber.h"

#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace capture {
namespace {

using testsupport::pump;

using std::get;
using std::holds_alternative;

QStringList run(const QString& program, const QStringList& arguments, QByteArray* out = nullptr) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    if (out != nullptr) {
        *out = process.readAllStandardOutput();
    }
    return QString::fromUtf8(process.readAllStandardOutput()).split('\n');
}

// The screen as another program reads it.
QImage screenByImport() {
    QByteArray png;
    run(QStringLiteral("import"), {"-window", "root", "png:-"}, &png);
    return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
}

// First differing pixel, ignoring alpha, as text; empty when equal.
std::string difference(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size()) {
        return "size " + std::to_string(actual.width()) + "x" + std::to_string(actual.height()) +
               " instead of " + std::to_string(expected.width()) + "x" +
               std::to_string(expected.height());
    }
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage e = expected.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if ((a.pixel(x, y) & 0xffffff) != (e.pixel(x, y) & 0xffffff)) {
                return "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") is " +
                       QString::number(a.pixel(x, y) & 0xffffff, 16).toStdString() +
                       " instead of " + QString::number(e.pixel(x, y) & 0xffffff, 16).toStdString();
            }
        }
    }
    return {};
}

// Whether `image` shows the target's client pattern at `origin`, all of it.
std::string patternDifference(const QImage& image, QPoint origin, QSize size) {
    QImage expected(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            expected.setPixel(x, y, capturePattern(x, y));
        }
    }
    return difference(image.copy(QRect(origin, size)), expected);
}

// The target program's window; closed with the object.
class Target {
public:
    Target(QRect client, const QString& title) : client_(client) {
        process_.start(QStringLiteral(VEXLIN_CAPTURE_TARGET),
                       {QString::number(client.x()), QString::number(client.y()),
                        QString::number(client.width()), QString::number(client.height()), title,
                        QStringLiteral("VexlinTarget")});
        process_.waitForReadyRead(5000);
        id_ = process_.readLine().trimmed().toUInt(nullptr, 16);
        // Wait until the manager has framed it and the frame stays put.
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 3000 && !info()) {
            pump(20);
        }
        pump(150);
    }
    ~Target() { close(); }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    void close() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    std::uint32_t id() const { return id_; }
    qint64 pid() const { return process_.processId(); }
    QRect client() const { return client_; }
    std::optional<desktop::WindowInfo> info() const {
        for (const desktop::WindowInfo& window : desktop::WindowList::copyWindowInfo()) {
            if (window.id == id_) {
                return window;
            }
        }
        return std::nullopt;
    }

private:
    QProcess process_;
    QRect client_;
    std::uint32_t id_ = 0;
};

class CaptureOnX11 : public testing::Test {
protected:
    static void SetUpTestSuite() {
        target_ =
            std::make_unique<Target>(QRect(200, 150, 400, 300), QStringLiteral("Täst pattern"));
    }
    static void TearDownTestSuite() { target_.reset(); }
    static std::unique_ptr<Target> target_;
};
std::unique_ptr<Target> CaptureOnX11::target_;

TEST_F(CaptureOnX11, ListsTheTargetWithItsTitleOwnerPidAndFrame) {
    const auto info = target_->info();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->title, QStringLiteral("Täst pattern"));
    EXPECT_EQ(info->ownerName, QStringLiteral("VexlinTarget"));
    EXPECT_EQ(info->ownerPID, target_->pid());

    // The frame is the client plus the manager's decoration, as announced.
    QByteArray out;
    run(QStringLiteral("xprop"), {"-id", QString::number(target_->id()), "_NET_FRAME_EXTENTS"},
        &out);
    const QList<QByteArray> parts = out.split('=').value(1).split(',');
    ASSERT_EQ(parts.size(), 4) << out.toStdString();
    const int left = parts[0].trimmed().toInt(), right = parts[1].trimmed().toInt();
    const int top = parts[2].trimmed().toInt(), bottom = parts[3].trimmed().toInt();
    EXPECT_GT(top, 0);
    const QRect client = target_->client();
    EXPECT_EQ(info->frame, QRectF(client.adjusted(-left, -top, right, bottom)));

    // Front to back: a second window over it comes first; the window list
    // says what is under a point.
    Target front(QRect(300, 250, 200, 150), QStringLiteral("Front"));
    const std::vector<desktop::WindowInfo> windows = desktop::WindowList::copyWindowInfo();
    ASSERT_GE(windows.size(), 2u);
    EXPECT_EQ(windows[0].id, front.id());
    EXPECT_EQ(desktop::WindowList::window(QPointF(350, 300), windows)->id, front.id());
    EXPECT_EQ(desktop::WindowList::window(QPointF(210, 160), windows)->id, target_->id());
    EXPECT_EQ(desktop::WindowList::bounds(front.id()), front.info()->frame);
    front.close();
    pump(200);
    EXPECT_EQ(desktop::WindowList::bounds(front.id()), std::nullopt);
}

TEST_F(CaptureOnX11, ADisplayPictureIsTheScreensPixels) {
    QScreen* screen = QGuiApplication::primaryScreen();
    for (bool sharedMemory : {true, false}) {
        platform::ScreenGrabber::shared()->setSharedMemoryEnabled(sharedMemory);
        const auto result =
            ScreenCapturer::displaySnapshots({screen}, false, ScreenCapturer::keepSet());
        const QImage screenNow = screenByImport();
        ASSERT_TRUE(holds_alternative<std::vector<desktop::DisplaySnapshot>>(result));
        const auto& snapshots = get<std::vector<desktop::DisplaySnapshot>>(result);
        ASSERT_EQ(snapshots.size(), 1u);
        const desktop::DisplaySnapshot& snapshot = snapshots[0];
        EXPECT_EQ(snapshot.screen, screen);
        EXPECT_EQ(snapshot.frame, QRectF(0, 0, 1920, 1080));
        EXPECT_EQ(snapshot.image.size(), QSize(1920, 1080));
        EXPECT_EQ(snapshot.image.format(), QImage::Format_RGB32);
        EXPECT_EQ(difference(snapshot.image, screenNow), "") << "shared memory " << sharedMemory;
        EXPECT_EQ(patternDifference(snapshot.image, target_->client().topLeft(),
                                    target_->client().size()),
                  "");
    }
    platform::ScreenGrabber::shared()->setSharedMemoryEnabled(true);
}

// A screen's worth of shared memory is held only while grabs follow one
// another: at rest it is let go, and the next grab attaches a new one.
TEST_F(CaptureOnX11, TheSharedSegmentIsLetGoAtRestAndTheNextGrabStillSeesTheScreen) {
    platform::ScreenGrabber* grabber = platform::ScreenGrabber::shared();
    const auto display = desktop::ScreenGeometry::captureDisplay(QGuiApplication::primaryScreen());
    ASSERT_TRUE(display);
    const QRectF area(100, 100, 200, 150);
    for (int round = 0; round < 2; ++round) {
        const auto result = ScreenCapturer::shot(*display, area, {});
        ASSERT_TRUE(holds_alternative<QImage>(result));
        EXPECT_EQ(difference(get<QImage>(result), screenByImport().copy(area.toRect())), "")
            << "round " << round;
        EXPECT_GT(grabber->segmentBytes(), 0u);
        EXPECT_TRUE(testsupport::waitFor(
            5000 + static_cast<int>(platform::ScreenGrabber::segmentLifetime.count()),
            [&] { return grabber->segmentBytes() == 0; }))
            << "round " << round;
    }
}

// A picture stays where the server wrote it: a later grab of a changed screen
// goes elsewhere and leaves the earlier picture (and its copies) as they were.
TEST_F(CaptureOnX11, AnEarlierPictureKeepsItsPixelsThroughLaterGrabs) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const auto grab = [screen] {
        auto result = ScreenCapturer::displaySnapshots({screen}, false, {});
        EXPECT_TRUE(holds_alternative<std::vector<desktop::DisplaySnapshot>>(result));
        return get<std::vector<desktop::DisplaySnapshot>>(result).at(0).image;
    };
    const QPoint bare(50, 50); // the root, away from the target
    run(QStringLiteral("xsetroot"), {"-solid", "#123456"});
    const QImage first = grab();
    const QImage shared = first; // a copy that shares the pixels, as the card's does
    const QImage deep = first.copy();
    ASSERT_EQ(first.pixel(bare) & 0xffffff, 0x123456u);
    ASSERT_EQ(qAlpha(first.pixel(bare)), 255);

    run(QStringLiteral("xsetroot"), {"-solid", "#abcdef"});
    const QImage second = grab();
    EXPECT_EQ(second.pixel(bare) & 0xffffff, 0xabcdefu);
    EXPECT_EQ(difference(first, deep), "");
    EXPECT_EQ(difference(shared, deep), "");

    // With the earlier pictures gone the next grab still sees the screen.
    run(QStringLiteral("xsetroot"), {"-solid", "#345678"});
    EXPECT_EQ(grab().pixel(bare) & 0xffffff, 0x345678u);
    run(QStringLiteral("xsetroot"), {"-solid", "black"});
}

TEST_F(CaptureOnX11, AnAreaPictureIsExactlyThatRectangle) {
    const auto display = desktop::ScreenGeometry::captureDisplay(QGuiApplication::primaryScreen());
    ASSERT_TRUE(display);
    const auto result = ScreenCapturer::shot(*display, QRectF(100, 100, 200, 150), {});
    ASSERT_TRUE(holds_alternative<QImage>(result));
    EXPECT_EQ(difference(get<QImage>(result), screenByImport().copy(100, 100, 200, 150)), "");

    // The target's client area, taken as an area, is the pattern itself.
    const auto client = ScreenCapturer::shot(*display, QRectF(target_->client()), {});
    EXPECT_EQ(patternDifference(get<QImage>(client), {0, 0}, target_->client().size()), "");

    // Partly off the display: only the part on it; wholly off: noDisplays.
    const auto edge = ScreenCapturer::shot(*display, QRectF(1900, 1000, 100, 100), {});
    EXPECT_EQ(get<QImage>(edge).size(), QSize(20, 80));
    const auto outside = ScreenCapturer::shot(*display, QRectF(2000, 0, 100, 100), {});
    EXPECT_EQ(get<desktop::CaptureError>(outside), desktop::CaptureError::noDisplays);
}

TEST_F(CaptureOnX11, AWindowPictureIsTheWindowAloneAtItsSize) {
    const auto info = target_->info();
    ASSERT_TRUE(info);
    const QRect frame = info->frame.toRect();
    const QPoint clientInFrame = target_->client().topLeft() - frame.topLeft();

    const auto result = ScreenCapturer::windowImage(target_->id());
    ASSERT_TRUE(holds_alternative<WindowPicture>(result));
    const WindowPicture& picture = get<WindowPicture>(result);
    EXPECT_EQ(picture.scale, 1.0);
    EXPECT_EQ(picture.image.size(), frame.size());
    EXPECT_EQ(patternDifference(picture.image, clientInFrame, target_->client().size()), "");
    EXPECT_EQ(difference(picture.image, screenByImport().copy(frame)), "");

    // From pictures frozen earlier: the same pixels, whatever is on screen now.
    const auto frozen = ScreenCapturer::displaySnapshots({QGuiApplication::primaryScreen()}, false,
                                                         ScreenCapturer::keepSet());
    QWidget cover(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    cover.setGeometry(frame);
    cover.setStyleSheet(QStringLiteral("background: red"));
    cover.show();
    pump(200);
    const auto fromFrozen = ScreenCapturer::windowImage(
        target_->id(), get<std::vector<desktop::DisplaySnapshot>>(frozen));
    EXPECT_EQ(difference(get<WindowPicture>(fromFrozen).image, picture.image), "");

    const QImage shadowed = ScreenCapturer::addWindowShadow(picture.image, picture.scale);
    EXPECT_EQ(shadowed.size(), frame.size() + QSize(80, 80));
}

TEST_F(CaptureOnX11, AbsurdFrameExtentsAreIgnored) {
    Target window(QRect(900, 200, 300, 200), QStringLiteral("Absurd frame"));
    ASSERT_TRUE(window.info());
    // Any client may write the property; here one claims a frame far larger
    // than the window, then one that would swallow the display.
    for (const char* extents : {"0, 0, 250, 0", "5000, 5000, 5000, 5000"}) {
        run(QStringLiteral("xprop"),
            {"-id", QString::number(window.id()), "-f", "_NET_FRAME_EXTENTS", "32c", "-set",
             "_NET_FRAME_EXTENTS", QString::fromLatin1(extents)});
        pump(100);
        EXPECT_EQ(window.info()->frame, QRectF(window.client())) << extents;
        const auto result = ScreenCapturer::windowImage(window.id());
        ASSERT_TRUE(holds_alternative<WindowPicture>(result)) << extents;
        const QImage& image = get<WindowPicture>(result).image;
        EXPECT_EQ(image.size(), window.client().size()) << extents;
        EXPECT_EQ(patternDifference(image, {0, 0}, window.client().size()), "") << extents;
    }
}

TEST_F(CaptureOnX11, AWindowThatClosedIsNotFound) {
    Target doomed(QRect(900, 200, 300, 200), QStringLiteral("Closing"));
    ASSERT_TRUE(doomed.info());
    const std::uint32_t id = doomed.id();
    doomed.close();
    pump(200);
    const auto result = ScreenCapturer::windowImage(id);
    ASSERT_TRUE(holds_alternative<desktop::CaptureError>(result));
    EXPECT_EQ(get<desktop::CaptureError>(result), desktop::CaptureError::windowNotFound);
}

TEST_F(CaptureOnX11, OurPanelsStayOutOfPicturesAndTitledWindowsStayIn) {
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::X11BypassWindowManagerHint);
    panel.setGeometry(target_->client().adjusted(50, 50, -50, -50));
    panel.setStyleSheet(QStringLiteral("background: red"));
    panel.show();
    QWidget titled;
    titled.setWindowTitle(QStringLiteral("Editor"));
    titled.setStyleSheet(QStringLiteral("background: #00ff00"));
    titled.setGeometry(1000, 500, 300, 200);
    titled.show();
    pump(500);
    ASSERT_TRUE(screenByImport().pixel(target_->client().center()) == qRgb(255, 0, 0));

    const auto result = ScreenCapturer::displaySnapshots({QGuiApplication::primaryScreen()}, false,
                                                         ScreenCapturer::keepSet());
    const QImage& image = get<std::vector<desktop::DisplaySnapshot>>(result)[0].image;
    EXPECT_EQ(patternDifference(image, target_->client().topLeft(), target_->client().size()), "");
    EXPECT_EQ(image.pixel(1150, 600) & 0xffffff, 0x00ff00u);
    // The panel is back where it was, painted before this thread has read an
    // event: the caller goes on with the picture first.
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(screenByImport().pixel(target_->client().center()), qRgb(255, 0, 0));
    pump(300);
    EXPECT_EQ(screenByImport().pixel(target_->client().center()), qRgb(255, 0, 0));
}

TEST(CaptureOnTwoDisplaysX11, DisplaysSitSideBySideAndPicturesComeFromTheirOwnDisplay) {
    const QList<desktop::CaptureDisplay> displays = desktop::ScreenGeometry::captureDisplays();
    ASSERT_EQ(displays.size(), 2);
    EXPECT_EQ(displays[0].frame, QRectF(0, 0, 1920, 1080));
    EXPECT_EQ(displays[1].frame, QRectF(1920, 0, 1280, 1024));
    EXPECT_NE(displays[0].displayID, displays[1].displayID);

    run(QStringLiteral("xdotool"), {"mousemove", "2500", "600"});
    EXPECT_EQ(desktop::ScreenGeometry::screenUnderPointer(), displays[1].screen.data());
    run(QStringLiteral("xdotool"), {"mousemove", "100", "100"});
    EXPECT_EQ(desktop::ScreenGeometry::screenUnderPointer(), displays[0].screen.data());

    Target target(QRect(2100, 300, 400, 300), QStringLiteral("Second display"));
    const QImage screenNow = screenByImport();
    const auto snapshots = ScreenCapturer::displaySnapshots({displays[1].screen}, false, {});
    ASSERT_TRUE(holds_alternative<std::vector<desktop::DisplaySnapshot>>(snapshots));
    const desktop::DisplaySnapshot& second =
        get<std::vector<desktop::DisplaySnapshot>>(snapshots)[0];
    EXPECT_EQ(second.displayID, displays[1].displayID);
    EXPECT_EQ(difference(second.image, screenNow.copy(1920, 0, 1280, 1024)), "");

    // An area is in the display's own points: (180, 300) on the second
    // display is the target's client corner at (2100, 300).
    const auto area = ScreenCapturer::shot(displays[1], QRectF(180, 300, 400, 300), {});
    EXPECT_EQ(patternDifference(get<QImage>(area), {0, 0}, {400, 300}), "");
}

} // namespace
} // namespace capture
