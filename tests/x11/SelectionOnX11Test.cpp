// The selection overlay against the rig's X server: xdotool drives the pointer
// and the keys as a user would; a target program shows known pixels.
#include "CapturePattern.h"

#include "capture/ScreenCapturer.h"
#include "capture/selection/SelectionGeometry.h"
#include "capture/selection/SelectionSession.h"
#include "capture/selection/SelectionView.h"
#include "desktop/WindowList.h"

#include "app/HotKeyCenter.h"

#include "support/TempDir.h"

#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>

namespace capture {
namespace {

using testsupport::pump;
using testsupport::xdotool;

using Outcome = SelectionSession::Outcome;

// A drag as a hand makes it: press, a few moves, release.
void dragWithXdotool(QPoint from, QPoint to) {
    xdotool({"mousemove", QString::number(from.x()), QString::number(from.y())});
    pump(100);
    xdotool({"mousedown", "1"});
    pump(50);
    const QPoint middle = (from + to) / 2;
    xdotool({"mousemove", QString::number(middle.x()), QString::number(middle.y())});
    pump(50);
    xdotool({"mousemove", QString::number(to.x()), QString::number(to.y())});
    pump(50);
    xdotool({"mouseup", "1"});
}

QString treeOfWindows() {
    QProcess process;
    process.start(QStringLiteral("xwininfo"), {"-root", "-tree"});
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString hexID(WId id) {
    return QStringLiteral("0x%1").arg(id, 0, 16);
}

// Whether another client could take Escape on the root window now, i.e. we
// no longer hold it.
bool escapeIsFree() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        return false;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, 0xff1b); // XK_Escape
    bool free = codes != nullptr && codes[0] != 0;
    if (free) {
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_grab_key_checked(c, 1, screen->root, 0, codes[0],
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        free = error == nullptr;
        std::free(error);
    }
    std::free(codes);
    xcb_key_symbols_free(symbols);
    xcb_disconnect(c);
    return free;
}

// The target program's window with known pixels; closed with the object.
class Target {
public:
    explicit Target(QRect client) {
        process_.start(QStringLiteral(VEXLIN_CAPTURE_TARGET),
                       {QString::number(client.x()), QString::number(client.y()),
                        QString::number(client.width()), QString::number(client.height()),
                        QStringLiteral("Pattern"), QStringLiteral("VexlinTarget")});
        process_.waitForReadyRead(5000);
        id_ = process_.readLine().trimmed().toUInt(nullptr, 16);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 3000 && !listed()) {
            pump(20);
        }
        pump(200);
    }
    ~Target() {
        process_.kill();
        process_.waitForFinished(3000);
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    std::uint32_t id() const { return id_; }
    bool listed() const {
        for (const desktop::WindowInfo& window : desktop::WindowList::copyWindowInfo()) {
            if (window.id == id_) {
                return true;
            }
        }
        return false;
    }

private:
    QProcess process_;
    std::uint32_t id_ = 0;
};

// Expects `picture` to show the target's pattern from `origin` on.
std::string patternDifference(const QImage& picture, QPoint origin) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb want = capturePattern(origin.x() + x, origin.y() + y) & 0xffffff;
            if ((image.pixel(x, y) & 0xffffff) != want) {
                return "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") differs";
            }
        }
    }
    return {};
}

// A selection as the coordinator opens one for a screenshot.
class Selection {
public:
    explicit Selection(SelectionSession::Options options = {}) {
        auto taken = ScreenCapturer::displaySnapshots(QGuiApplication::screens(), false,
                                                      ScreenCapturer::keepSet());
        snapshots_ = std::get<std::vector<desktop::DisplaySnapshot>>(taken);
        SelectionSession::Sources sources;
        sources.windows = [] { return desktop::WindowList::copyWindowInfo(); };
        sources.windowPicture = [this](std::uint32_t id) -> std::optional<SelectionPicture> {
            auto picture = ScreenCapturer::windowImage(id, snapshots_);
            if (auto* alone = std::get_if<WindowPicture>(&picture)) {
                return SelectionPicture{alone->image, alone->scale, true};
            }
            return std::nullopt;
        };
        session_ =
            std::make_unique<SelectionSession>(snapshots_, desktop::WindowList::copyWindowInfo(),
                                               options, sources, app::HotKeyCenter::shared());
        session_->begin([this](const Outcome& outcome) { outcomes_.push_back(outcome); });
        // Until the overlay is mapped and has the focus.
        pump(400);
    }

    const SelectionSession& session() const { return *session_; }

    std::vector<WId> overlayIDs() const {
        std::vector<WId> ids;
        for (const auto& view : session_->overlays()) {
            ids.push_back(view->winId());
        }
        return ids;
    }

    // Waits for the outcome and for the overlay to be gone.
    const std::vector<Outcome>& waitForOutcome() {
        QElapsedTimer timer;
        timer.start();
        while (outcomes_.empty() && timer.elapsed() < 5000) {
            pump(20);
        }
        pump(200);
        return outcomes_;
    }

private:
    std::vector<desktop::DisplaySnapshot> snapshots_;
    std::unique_ptr<SelectionSession> session_;
    std::vector<Outcome> outcomes_;
};

TEST(SelectionOnX11, ADraggedAreaIsThatRectangleOfItsDisplay) {
    Target target(QRect(40, 60, 400, 300));
    Selection selection;
    dragWithXdotool(QPoint(100, 100), QPoint(300, 250));
    const auto& outcomes = selection.waitForOutcome();
    ASSERT_EQ(outcomes.size(), 1u);
    const Outcome& outcome = outcomes[0];
    ASSERT_EQ(outcome.kind, Outcome::Kind::area);
    EXPECT_EQ(outcome.rect, QRectF(100, 100, 200, 150));
    ASSERT_TRUE(outcome.picture);
    EXPECT_EQ(outcome.picture->image.size(), QSize(200, 150));
    // The target's pixels, and none of the overlay's dimming.
    EXPECT_EQ(patternDifference(outcome.picture->image, QPoint(60, 40)), "");
}

TEST(SelectionOnX11, EscapeLeavesNoOverlayAndLetsGoOfEscape) {
    ASSERT_TRUE(escapeIsFree());
    Selection selection;
    const std::vector<WId> overlays = selection.overlayIDs();
    ASSERT_FALSE(overlays.empty());
    EXPECT_TRUE(treeOfWindows().contains(hexID(overlays[0]) + ' '));
    EXPECT_FALSE(escapeIsFree());

    // With the pointer away from the overlay's focus, Escape still comes through
    // the global grab.
    xdotool({"key", "Escape"});
    const auto& outcomes = selection.waitForOutcome();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Outcome::Kind::cancelled);
    EXPECT_FALSE(outcomes[0].picture);
    const QString tree = treeOfWindows();
    for (const WId id : overlays) {
        EXPECT_FALSE(tree.contains(hexID(id) + ' ')) << hexID(id).toStdString();
    }
    EXPECT_FALSE(app::HotKeyCenter::shared().isEscapeRegistered());
    EXPECT_TRUE(escapeIsFree());
}

TEST(SelectionOnX11, SpaceSwitchesToWindowsAndAClickTakesTheWindowAlone) {
    Target target(QRect(700, 300, 400, 300));
    xdotool({"mousemove", "900", "450"});
    Selection selection;
    xdotool({"key", "space"});
    pump(300);
    xdotool({"click", "1"});
    const auto& outcomes = selection.waitForOutcome();
    ASSERT_EQ(outcomes.size(), 1u);
    const Outcome& outcome = outcomes[0];
    ASSERT_EQ(outcome.kind, Outcome::Kind::window);
    EXPECT_EQ(outcome.window->id, target.id());
    ASSERT_TRUE(outcome.picture);
    EXPECT_TRUE(outcome.picture->isWindowAlone);
}

TEST(SelectionOnX11, AClickOnTheDesktopInWindowModeTakesTheDisplay) {
    SelectionSession::Options options;
    options.mode = SelectionMode::window;
    xdotool({"mousemove", "1800", "1000"});
    Selection selection(options);
    xdotool({"click", "1"});
    const auto& outcomes = selection.waitForOutcome();
    ASSERT_EQ(outcomes.size(), 1u);
    ASSERT_EQ(outcomes[0].kind, Outcome::Kind::display);
    EXPECT_EQ(outcomes[0].picture->image.size(), QSize(1920, 1080));
}

// The label over a hovered window names its application as the desktop knows
// it: the Name of the .desktop file that goes with the window's class, here
// one in a private data folder whose file name is the class in lower case.
TEST(SelectionOnX11, TheHoverLabelNamesTheApplicationByItsDesktopFile) {
    testsupport::TempDir data;
    QDir(data.path()).mkpath(QStringLiteral("applications"));
    testsupport::writeAll(data.file(QStringLiteral("applications/vexlintarget.desktop")),
                          "[Desktop Entry]\nType=Application\nName=Pattern Painter\n"
                          "Exec=x11_capture_target\n");
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", data.path().toUtf8());

    Target target(QRect(700, 300, 400, 300));
    xdotool({"mousemove", "900", "450"});
    SelectionSession::Options options;
    options.mode = SelectionMode::window;
    Selection selection(options);
    xdotool({"mousemove", "905", "455"});
    pump(300);
    const std::optional<desktop::WindowInfo>& hovered =
        selection.session().machine().hoveredWindow();
    ASSERT_TRUE(hovered);
    EXPECT_EQ(hovered->id, target.id());
    EXPECT_EQ(hovered->ownerName, QStringLiteral("Pattern Painter"));
    const QString label = selection::windowLabelText(*hovered);
    EXPECT_TRUE(label.startsWith(QStringLiteral("Pattern Painter  ·  "))) << label.toStdString();

    xdotool({"key", "Escape"});
    selection.waitForOutcome();
    dataDirs.isNull() ? qunsetenv("XDG_DATA_DIRS") : qputenv("XDG_DATA_DIRS", dataDirs);
}

TEST(SelectionOnTwoDisplaysX11, AnAreaOnTheSecondDisplayIsLocalToIt) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    Target target(QRect(2000, 50, 400, 300));
    Selection selection;
    dragWithXdotool(QPoint(2020, 100), QPoint(2220, 250));
    const auto& outcomes = selection.waitForOutcome();
    ASSERT_EQ(outcomes.size(), 1u);
    const Outcome& outcome = outcomes[0];
    ASSERT_EQ(outcome.kind, Outcome::Kind::area);
    EXPECT_EQ(outcome.display->frame, QRectF(1920, 0, 1280, 1024));
    EXPECT_EQ(outcome.rect, QRectF(100, 100, 200, 150));
    ASSERT_TRUE(outcome.picture);
    EXPECT_EQ(patternDifference(outcome.picture->image, QPoint(20, 50)), "");
}

} // namespace
} // namespace capture
