// The recording overlays against the rig's X server (Xvfb + openbox, no
// compositing manager, two displays): keys and clicks of every client through
// RECORD, the pulses and the keystroke label in real screen pixels.
#include "overlays/CameraBubble.h"
#include "overlays/KeystrokeMonitor.h"
#include "overlays/RecordingOverlay.h"
#include "overlays/SessionOverlayWindows.h"

#include "recording/RecordingSessionModel.h"
#include "recording/ScreenRecorder.h"

#include "app/Preferences.h"
#include "desktop/ScreenGeometry.h"
#include "platform/InputRecorder.h"
#include "platform/KeyCodeMap.h"
#include "platform/MovieReader.h"
#include "platform/PermissionProbe.h"

#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <gtest/gtest.h>
#include <xcb/res.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace overlays {
namespace {

using testsupport::pump;
using testsupport::waitFor;
using testsupport::xdotool;
namespace bits = platform::modifierBits;

// Pictures for a person to look at go into the folder OVERLAY_PICTURES names;
// without it none are written.
QString picturesFolder() {
    return qEnvironmentVariable("OVERLAY_PICTURES");
}

QImage grabScreen() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
        QImage::Format_RGB32);
}

bool setLayout(const QString& layout) {
    return QProcess::execute(QStringLiteral("setxkbmap"), {layout}) == 0;
}

// A plain window under everything that counts the clicks it receives.
class Backdrop : public QWidget {
public:
    Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint) {
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor(40, 90, 60));
        setPalette(p);
        setGeometry(QGuiApplication::primaryScreen()->geometry());
        show();
        waitFor(3000, [this] { return isVisible() && isActiveWindow(); });
        pump(300);
    }
    std::vector<Qt::MouseButton> presses;

protected:
    void mousePressEvent(QMouseEvent* event) override { presses.push_back(event->button()); }
};

int threadCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task"))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                .size());
}

// The RECORD contexts the X server holds, asked through X-Resource on a
// connection of the test's own.
std::vector<std::uint32_t> recordContexts() {
    std::vector<std::uint32_t> contexts;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        ADD_FAILURE() << "no X connection";
        xcb_disconnect(c);
        return contexts;
    }
    free(xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
    // The server names a resource type by the atom of its name, made when
    // first asked for.
    const char name[] = "RecordContext";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
        // Every resource, sorted here: Xvfb finds none when asked for a type.
        const xcb_res_resource_id_spec_t spec{0, 0};
        xcb_res_query_resource_bytes_reply_t* reply = xcb_res_query_resource_bytes_reply(
            c, xcb_res_query_resource_bytes(c, 0, 1, &spec), nullptr);
        if (reply != nullptr) {
            for (auto it = xcb_res_query_resource_bytes_sizes_iterator(reply); it.rem;
                 xcb_res_resource_size_value_next(&it)) {
                if (it.data->size.spec.type == atom->atom) {
                    contexts.push_back(it.data->size.spec.resource);
                }
            }
        }
        free(reply);
    }
    free(atom);
    xcb_disconnect(c);
    return contexts;
}

// Closes the X client that made `resource`, as xkill does.
void killClientOf(std::uint32_t resource) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_kill_client(c, resource);
    // Done once the server answers the next request.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

std::vector<KeyPress> collect(const std::function<void()>& act) {
    std::vector<KeyPress> presses;
    std::unique_ptr<KeystrokeMonitor> monitor = KeystrokeMonitor::start(
        {[&presses](const KeyPress& press) { presses.push_back(press); }, {}});
    EXPECT_TRUE(monitor) << "the rig's X server offers RECORD";
    if (!monitor) {
        return presses;
    }
    act();
    pump(300);
    monitor->stop();
    return presses;
}

TEST(KeystrokeMonitorOnX11, ListensWithoutTakingKeys) {
    QLineEdit target;
    target.setGeometry(200, 200, 300, 40);
    target.show();
    target.activateWindow();
    ASSERT_TRUE(waitFor(3000, [&] { return target.hasFocus(); }));

    const std::vector<KeyPress> presses = collect([&target] {
        xdotool({"type", "--delay", "30", "ab"});
        // The window the keys were for still has them.
        EXPECT_TRUE(waitFor(2000, [&] { return target.text() == QStringLiteral("ab"); }))
            << target.text().toStdString();
        xdotool({"key", "ctrl+z"});
        xdotool({"key", "shift"});
    });

    auto has = [&](const KeyPress& wanted) {
        return std::find(presses.begin(), presses.end(), wanted) != presses.end();
    };
    EXPECT_TRUE(has({0, 0, "A", "a"}));
    EXPECT_TRUE(has({11, 0, "B", "b"}));
    const auto z = std::find_if(presses.begin(), presses.end(),
                                [](const KeyPress& p) { return p.keyCode == 6; });
    ASSERT_NE(z, presses.end());
    EXPECT_EQ(z->modifiers, bits::control);
    EXPECT_EQ(z->keyName, QStringLiteral("Z"));
    std::vector<KeyPress> shifts;
    std::copy_if(presses.begin(), presses.end(), std::back_inserter(shifts),
                 [](const KeyPress& p) { return p.keyCode == 56; });
    ASSERT_EQ(shifts.size(), 2u);
    EXPECT_EQ(shifts[0], (KeyPress{56, bits::shift, {}, {}}));
    EXPECT_EQ(shifts[1], (KeyPress{56, 0, {}, {}}));
    // Plain releases give nothing: two letters, Ctrl down and up, Z, Shift
    // down and up.
    EXPECT_EQ(presses.size(), 7u);
}

// The record hot key's modifiers are still down when the monitor starts:
// once released they are no part of the next shortcut.
TEST(KeystrokeMonitorOnX11, ModifiersHeldAtTheStartCountOnlyWhileHeld) {
    xdotool({"keydown", "alt+shift+super"});
    const std::vector<KeyPress> presses = collect([] {
        xdotool({"key", "x"});
        xdotool({"keyup", "alt+shift+super"});
        xdotool({"key", "ctrl+shift+b"});
    });
    const auto x = std::find_if(presses.begin(), presses.end(),
                                [](const KeyPress& p) { return p.keyCode == 7; });
    ASSERT_NE(x, presses.end());
    EXPECT_EQ(x->modifiers, bits::option | bits::shift | bits::command);
    const auto b = std::find_if(presses.begin(), presses.end(),
                                [](const KeyPress& p) { return p.keyCode == 11; });
    ASSERT_NE(b, presses.end());
    EXPECT_EQ(b->modifiers, bits::control | bits::shift);
    EXPECT_EQ(b->keyName, QStringLiteral("B"));
}

TEST(KeystrokeMonitorOnX11, StopLeavesNothingRunning) {
    pump(100);
    const int threads = threadCount();
    std::unique_ptr<KeystrokeMonitor> monitor = KeystrokeMonitor::start({});
    ASSERT_TRUE(monitor);
    EXPECT_EQ(recordContexts().size(), 1u);
    EXPECT_EQ(threadCount(), threads + 1);
    monitor->stop();
    EXPECT_TRUE(recordContexts().empty());
    EXPECT_EQ(threadCount(), threads);
    monitor->stop();
    monitor.reset();
    // A new one after the old one works as well.
    const std::vector<KeyPress> presses = collect([] { xdotool({"key", "x"}); });
    EXPECT_EQ(presses.size(), 1u);
}

// The server closes the recorder's client (as xkill would, and the context
// goes with it): the recorder opens its connections again and goes on. After
// a second drop it stays quiet, the keys still reach their windows, and
// stop() ends it as usual.
TEST(KeystrokeMonitorOnX11, ADroppedConnectionIsOpenedAgainOnceThenItGoesQuiet) {
    QLineEdit target;
    target.setGeometry(200, 200, 300, 40);
    target.show();
    target.activateWindow();
    ASSERT_TRUE(waitFor(3000, [&] { return target.hasFocus(); }));
    pump(100);
    const int threads = threadCount();

    std::vector<KeyPress> presses;
    std::unique_ptr<KeystrokeMonitor> monitor = KeystrokeMonitor::start(
        {[&presses](const KeyPress& press) { presses.push_back(press); }, {}});
    ASSERT_TRUE(monitor);
    const auto pressesOf = [&presses](const char* key) {
        presses.clear();
        xdotool({"key", key});
        pump(300);
        return presses.size();
    };
    ASSERT_EQ(pressesOf("a"), 1u);

    std::vector<std::uint32_t> contexts = recordContexts();
    ASSERT_EQ(contexts.size(), 1u);
    killClientOf(contexts.front());
    EXPECT_TRUE(waitFor(3000, [] { return recordContexts().size() == 1; })) << "no second context";
    EXPECT_EQ(pressesOf("b"), 1u);

    contexts = recordContexts();
    ASSERT_EQ(contexts.size(), 1u);
    killClientOf(contexts.front());
    pump(500);
    EXPECT_TRUE(recordContexts().empty());
    EXPECT_EQ(pressesOf("c"), 0u);
    EXPECT_EQ(target.text(), QStringLiteral("abc"));

    monitor->stop();
    EXPECT_EQ(threadCount(), threads);
}

// In "Shortcuts only" nothing typed ever reaches the label: not a password
// with capitals and symbols, not a character made with AltGr.
TEST(RecordingOverlayOnX11, ShortcutsOnlyShowsNoTyping) {
    Backdrop backdrop;
    const QRectF frame = QGuiApplication::primaryScreen()->geometry();
    RecordingOverlay::Options options;
    options.displayFrame = frame;
    options.region = QRectF(QPointF(), frame.size());
    options.keystrokeMode = app::KeystrokeMode::shortcutsOnly;
    {
        RecordingOverlay overlay(options);
        ASSERT_TRUE(overlay.isListening());
        std::vector<std::optional<QString>> shown;
        QElapsedTimer clock;
        xdotool({"type", "--delay", "40", "Pa55w0rd!"});
        pump(300);
        EXPECT_EQ(overlay.window()->labelText(), std::nullopt);
        xdotool({"key", "ctrl+s"});
        EXPECT_TRUE(waitFor(1000, [&] {
            return overlay.window()->labelText() == std::optional<QString>("Ctrl+S");
        }));
    }
    ASSERT_TRUE(setLayout(QStringLiteral("de")));
    {
        // The characters really are "@": a monitor sees them.
        const std::vector<KeyPress> presses = collect([] {
            xdotool({"keydown", "ISO_Level3_Shift", "key", "q", "keyup", "ISO_Level3_Shift"});
        });
        EXPECT_TRUE(std::any_of(presses.begin(), presses.end(),
                                [](const KeyPress& p) { return p.characters == "@"; }));
        RecordingOverlay overlay(options);
        xdotool({"keydown", "ISO_Level3_Shift", "key", "q", "keyup", "ISO_Level3_Shift"});
        pump(300);
        EXPECT_EQ(overlay.window()->labelText(), std::nullopt);
    }
    setLayout(QStringLiteral("us"));
}

int countNear(const QImage& image, QPoint centre, double inner, double outer, const QColor& color) {
    int count = 0;
    for (int y = centre.y() - int(outer); y <= centre.y() + int(outer); ++y) {
        for (int x = centre.x() - int(outer); x <= centre.x() + int(outer); ++x) {
            const double d = std::hypot(x - centre.x(), y - centre.y());
            if (d >= inner && d <= outer && image.rect().contains(x, y) &&
                QColor(image.pixel(x, y)).rgb() == color.rgb()) {
                ++count;
            }
        }
    }
    return count;
}

// Pixels of `after` that differ from `before` outside `allowed`.
int changedOutside(const QImage& before, const QImage& after, const QRect& allowed) {
    int changed = 0;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            if (!allowed.contains(x, y) && before.pixel(x, y) != after.pixel(x, y)) {
                ++changed;
            }
        }
    }
    return changed;
}

class ClickPulsesOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        options.displayFrame = QGuiApplication::primaryScreen()->geometry();
        options.region = QRectF(QPointF(), options.displayFrame.size());
        options.highlightClicks = true;
        // The pointer rests away from where the clicks land.
        xdotool({"mousemove", "100", "900"});
        pump(200);
    }
    // Clicks `button` at (x, y) and gives the screen 0.1 s later and once the
    // pulse is over.
    std::pair<QImage, QImage> click(int x, int y, int button) {
        xdotool({"mousemove", QString::number(x), QString::number(y), "click",
                 QString::number(button)});
        pump(100);
        QImage during = grabScreen();
        pump(600);
        return {during, grabScreen()};
    }
    Backdrop backdrop;
    RecordingOverlay::Options options;
};

TEST_F(ClickPulsesOnX11, LeftAndRightClicksPulseAndGo) {
    RecordingOverlay overlay(options);
    ASSERT_TRUE(overlay.isListening());
    ASSERT_FALSE(overlay.window()->isTranslucent()) << "the rig runs no compositing manager";
    pump(300);
    const QImage before = grabScreen();
    const QPoint at(600, 400);
    const QRect pulseArea(at - QPoint(40, 40), QSize(81, 81));

    const auto [leftDuring, leftAfter] = click(at.x(), at.y(), 1);
    if (!picturesFolder().isEmpty()) {
        before.save(picturesFolder() + "/overlay-before.png");
        leftDuring.save(picturesFolder() + "/overlay-during.png");
        leftAfter.save(picturesFolder() + "/overlay-after.png");
    }
    EXPECT_GT(countNear(leftDuring, at, 11, 36, pulse::accentColor()), 20);
    EXPECT_EQ(countNear(leftDuring, at, 11, 36, pulse::orangeColor()), 0);
    EXPECT_EQ(changedOutside(before, leftDuring, pulseArea), 0);
    EXPECT_EQ(changedOutside(before, leftAfter, QRect()), 0);

    const auto [rightDuring, rightAfter] = click(at.x(), at.y(), 3);
    EXPECT_GT(countNear(rightDuring, at, 11, 36, pulse::orangeColor()), 20);
    EXPECT_EQ(changedOutside(before, rightAfter, QRect()), 0);
    EXPECT_EQ(overlay.window()->pulseCount(), 0);

    // Both clicks went through to the window below.
    EXPECT_EQ(backdrop.presses, (std::vector<Qt::MouseButton>{Qt::LeftButton, Qt::RightButton}));

    // The wheel draws nothing.
    const auto [wheelDuring, wheelAfter] = click(at.x(), at.y(), 4);
    EXPECT_EQ(changedOutside(before, wheelDuring, QRect()), 0);

    overlay.stop();
    EXPECT_EQ(overlay.window(), nullptr);
}

TEST_F(ClickPulsesOnX11, ClickOnTheOtherDisplayDrawsNothing) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2) {
        GTEST_SKIP() << "needs the two-display rig";
    }
    RecordingOverlay overlay(options);
    pump(300);
    const QImage before = grabScreen();
    const QRect second = screens.at(1)->geometry();
    xdotool({"mousemove", QString::number(second.center().x()),
             QString::number(second.center().y()), "click", "1"});
    pump(100);
    EXPECT_EQ(overlay.window()->pulseCount(), 0);
    EXPECT_EQ(changedOutside(before, grabScreen(), QRect()), 0);
}

TEST_F(ClickPulsesOnX11, TypedKeysShowAtTheLeftEdgeAndGo) {
    options.highlightClicks = false;
    options.keystrokeMode = app::KeystrokeMode::allKeys;
    options.position = app::KeystrokePosition::left;
    options.region = QRectF(300, 200, 1000, 600);
    RecordingOverlay overlay(options);
    pump(300);
    const QImage before = grabScreen();

    xdotool({"type", "--delay", "40", "hello"});
    QElapsedTimer sinceLastKey;
    sinceLastKey.start();
    ASSERT_TRUE(waitFor(
        500, [&] { return overlay.window()->labelText() == std::optional<QString>("hello"); }));
    pump(100);
    const QRectF label = overlay.window()->labelRect();
    // Middle of the region's left edge, 28 points in.
    EXPECT_EQ(label.left(), 300 + 28);
    EXPECT_NEAR(label.center().y(), 200 + 300, 0.5);
    const QImage shown = grabScreen();
    if (!picturesFolder().isEmpty()) {
        shown.save(picturesFolder() + "/overlay-label.png");
    }
    const QPoint inside(qRound(label.left() + 6), qRound(label.center().y()));
    EXPECT_EQ(QColor(shown.pixel(inside)), QColor(Qt::black));
    // White text on the capsule.
    int white = 0;
    for (int x = qRound(label.left()); x < qRound(label.right()); ++x) {
        for (int y = qRound(label.top()); y < qRound(label.bottom()); ++y) {
            white += QColor(shown.pixel(x, y)).lightness() > 200;
        }
    }
    EXPECT_GT(white, 30);
    EXPECT_EQ(changedOutside(before, shown, label.toAlignedRect()), 0);

    // Still there a second after the last key, gone by 1.5 s.
    while (sinceLastKey.elapsed() < 1000) {
        pump(10);
    }
    EXPECT_EQ(QColor(grabScreen().pixel(inside)), QColor(Qt::black));
    while (sinceLastKey.elapsed() < 1550) {
        pump(10);
    }
    EXPECT_EQ(changedOutside(before, grabScreen(), QRect()), 0);
}

// On a server without RECORD (Xvfb then has no XTEST either, so no input
// can be made up here) nothing listens and nothing is drawn: the session's
// overlays with clicks and every key asked for leave the screen as it was,
// the bar is told, the movie is made, and stop() leaves no window and no
// thread.
TEST(SessionOverlaysWithoutRecordOnX11, TheRecordingIsMadeAndNothingIsLeft) {
    ASSERT_FALSE(platform::InputRecorder::available());
    EXPECT_EQ(KeystrokeMonitor::start({}), nullptr);

    Backdrop backdrop;
    testsupport::TempDir dir;
    app::Preferences preferences(dir.file(QStringLiteral("settings.conf")));
    preferences.setRecordHighlightClicks(true);
    preferences.setRecordShowKeystrokes(true);
    preferences.setKeystrokeMode(app::KeystrokeMode::allKeys);
    platform::PermissionProbe& probe = platform::PermissionProbe::system();
    recording::RecordingSessionModel model(preferences, probe);
    EXPECT_TRUE(model.needsInputMonitoring());

    const QList<desktop::CaptureDisplay> displays = desktop::ScreenGeometry::captureDisplays();
    ASSERT_FALSE(displays.isEmpty());
    recording::SessionWindowsSetup setup;
    setup.model = &model;
    setup.display = displays.first();
    setup.region = QRect(100, 100, 640, 400);
    pump(200);
    const int threads = threadCount();
    const QWidgetList before = QApplication::topLevelWidgets();
    const QImage screen = grabScreen();

    auto made = recording::ScreenRecorder::make(setup.display.displayID, QRectF(setup.region),
                                                recording::RecordingOptions(),
                                                recording::SinkFactory::movieWriter(), dir.path());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<recording::ScreenRecorder>>(made))
        << std::get<recording::RecorderError>(made).description().toStdString();
    std::unique_ptr<recording::ScreenRecorder> recorder = std::move(std::get<0>(made));
    {
        SessionOverlayWindows overlays(probe);
        overlays.present(setup);
        overlays.recordingStarted();
        ASSERT_NE(overlays.overlay(), nullptr);
        EXPECT_FALSE(overlays.overlay()->isListening());
        pump(1500);
        EXPECT_EQ(changedOutside(screen, grabScreen(), QRect()), 0);

        std::optional<std::variant<QString, recording::WriterError>> finished;
        recorder->finish([&finished](std::variant<QString, recording::WriterError> result) {
            finished = std::move(result);
        });
        ASSERT_TRUE(waitFor(30000, [&] { return finished.has_value(); }));
        ASSERT_TRUE(std::holds_alternative<QString>(*finished))
            << std::get<recording::WriterError>(*finished).description().toStdString();
        const std::unique_ptr<platform::MovieReader> movie =
            platform::MovieReader::open(std::get<QString>(*finished));
        ASSERT_TRUE(movie);
        EXPECT_GT(movie->duration().value_or(0), 1.0);
        recorder.reset();

        overlays.stop();
        EXPECT_EQ(overlays.overlay(), nullptr);
    }
    pump(300);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_TRUE(before.contains(widget) || !widget->isVisible())
            << widget->metaObject()->className();
    }
    EXPECT_EQ(threadCount(), threads);
}

// With no camera to open the bubble shows its grey backdrop and white border,
// 40 points from the visible frame's right and bottom edges, cut to its
// circle where nothing composites.
TEST(CameraBubbleOnX11, GreyWithItsBorderInTheCornerCutToItsShape) {
    Backdrop backdrop;
    const QImage before = grabScreen();
    testsupport::TempDir dir;
    app::Preferences preferences(dir.file(QStringLiteral("settings.conf")));
    QScreen* screen = QGuiApplication::primaryScreen();
    CameraBubble bubble(screen, CameraBubble::displayKeyOf(screen), std::nullopt, preferences);
    // The rig's displays have no EDID: the key is the display number.
    EXPECT_EQ(CameraBubble::displayKeyOf(screen).toUInt() > 0, true);
    pump(500);
    const QRect visible = screen->availableGeometry();
    const QRect frame = bubble.frame().toRect();
    EXPECT_EQ(frame,
              QRect(visible.right() + 1 - 40 - 220, visible.bottom() + 1 - 40 - 220, 220, 220));
    const QImage shown = grabScreen();
    if (!picturesFolder().isEmpty()) {
        shown.save(picturesFolder() + "/overlay-camera.png");
    }
    const QColor middle(shown.pixel(frame.center()));
    EXPECT_NEAR(middle.red(), 26, 3);
    EXPECT_EQ(middle.red(), middle.blue());
    EXPECT_GT(QColor(shown.pixel(frame.center().x(), frame.top() + 1)).lightness(), 200);
    // The corners of the square stay the screen's own.
    EXPECT_EQ(shown.pixel(frame.topLeft() + QPoint(3, 3)),
              before.pixel(frame.topLeft() + QPoint(3, 3)));
    EXPECT_EQ(changedOutside(before, shown, frame), 0);
    bubble.close();
    pump(300);
    EXPECT_EQ(changedOutside(before, grabScreen(), QRect()), 0);
}

} // namespace
} // namespace overlays
