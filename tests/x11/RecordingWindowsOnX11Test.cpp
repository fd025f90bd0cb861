// The windows a recording follows and hides, against the rig's X server
// (Xvfb + openbox) with other programs' windows.
#include "recording/ControlBar.h"
#include "recording/HideableApp.h"
#include "recording/PreviousApp.h"
#include "recording/RunningApps.h"
#include "recording/WindowFollower.h"

#include "desktop/WindowList.h"
#include "platform/ClientWindows.h"
#include "platform/WindowManagerRequests.h"

#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace recording {
namespace {

using testsupport::pump;
using testsupport::waitFor;
using testsupport::xdotool;

// Another program's ordinary window; closed with the object.
class AppWindow {
public:
    AppWindow(const QString& className, const QString& instanceName, bool skipTaskBar = false) {
        QStringList arguments{className, instanceName};
        if (skipTaskBar) {
            arguments.append(QStringLiteral("skip-taskbar"));
        }
        process_.start(QStringLiteral(VEXLIN_APP_WINDOW), arguments);
        process_.waitForReadyRead(5000);
        id_ = process_.readLine().trimmed().toUInt(nullptr, 16);
        // Until the manager lists it.
        waitFor(3000, [this] {
            const auto ids = platform::clientStackingOrder();
            return std::find(ids.begin(), ids.end(), id_) != ids.end();
        });
    }
    ~AppWindow() { kill(); }
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;

    void kill() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    std::uint32_t id() const { return id_; }

private:
    QProcess process_;
    std::uint32_t id_ = 0;
};

class RecordingWindowsOnX11 : public testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != "xcb") {
            GTEST_SKIP() << "needs the x11 rig";
        }
    }
};

TEST_F(RecordingWindowsOnX11, TheFollowerSeesAMoveWithinTwoPollsAndTheCloseOnce) {
    AppWindow target(QStringLiteral("FollowMe"), QStringLiteral("followme"));
    ASSERT_NE(target.id(), 0u);
    int polls = 0;
    WindowFollower follower(target.id(), [&polls](std::uint32_t id) {
        ++polls;
        return desktop::WindowList::bounds(id);
    });
    std::vector<QRectF> moves;
    int closes = 0;
    follower.onMove = [&moves](const QRectF& r) { moves.push_back(r); };
    follower.onClose = [&closes] { ++closes; };
    follower.start();
    ASSERT_EQ(moves.size(), 1u) << "start reports where the window is";
    const QRectF first = moves.front();
    EXPECT_EQ(first.size(), desktop::WindowList::bounds(target.id())->size());

    pump(300);
    EXPECT_EQ(moves.size(), 1u) << "a still window reports nothing more";

    xdotool({QStringLiteral("windowmove"), QStringLiteral("--sync"), QString::number(target.id()),
             QStringLiteral("700"), QStringLiteral("500")});
    const int pollsAtMove = polls;
    ASSERT_TRUE(waitFor(5000, [&moves] { return moves.size() == 2; }));
    // The timer polls every 0.1 s: the move is seen by the next poll or, when
    // one was under way as the window moved, the one after.
    EXPECT_LE(polls - pollsAtMove, 2);
    EXPECT_EQ(moves.back().size(), first.size()) << "moved, not resized";
    // Where it was put, give or take the manager's frame.
    EXPECT_NEAR(moves.back().x(), 700, 40);
    EXPECT_NEAR(moves.back().y(), 500, 40);

    target.kill();
    ASSERT_TRUE(waitFor(5000, [&closes] { return closes > 0; }));
    EXPECT_FALSE(follower.isFollowing());
    const int pollsAtClose = polls;
    pump(400);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(polls, pollsAtClose) << "no poll after the close";
    EXPECT_EQ(moves.size(), 2u);
}

TEST_F(RecordingWindowsOnX11, CandidatesAreOtherProgramsTaskBarWindowsNamedByTheirDesktopFiles) {
    // The rig's XDG_DATA_HOME is private to this run.
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
    ASSERT_TRUE(QDir().mkpath(folder));
    testsupport::writeAll(folder + QStringLiteral("/org.example.painter.desktop"),
                          "[Desktop Entry]\nType=Application\nName=Painter Pro\nExec=true\n"
                          "StartupWMClass=PainterTest\n");
    AppWindow painter(QStringLiteral("PainterTest"), QStringLiteral("painter"));
    AppWindow plain(QStringLiteral("PlainTest"), QStringLiteral("plain"));
    AppWindow tray(QStringLiteral("TrayTest"), QStringLiteral("tray"), true);
    QWindow own;
    own.setTitle(QStringLiteral("Our own window"));
    own.resize(200, 150);
    own.show();
    ASSERT_TRUE(waitFor(3000, [&own] { return platform::clientWindow(own.winId()).has_value(); }));
    ASSERT_TRUE(waitFor(3000, [&own] {
        const auto ids = platform::clientStackingOrder();
        return std::find(ids.begin(), ids.end(), own.winId()) != ids.end();
    }));
    const QString ownClass = platform::clientWindow(own.winId())->className;
    ASSERT_FALSE(ownClass.isEmpty());

    const std::vector<HideableApp> apps = HideableApp::candidates();
    const auto find = [&apps](const QString& id) {
        return std::find_if(apps.begin(), apps.end(),
                            [&id](const HideableApp& a) { return a.bundleID == id; });
    };
    ASSERT_NE(find(QStringLiteral("PainterTest")), apps.end());
    EXPECT_EQ(find(QStringLiteral("PainterTest"))->name, QStringLiteral("Painter Pro"));
    ASSERT_NE(find(QStringLiteral("PlainTest")), apps.end());
    EXPECT_EQ(find(QStringLiteral("PlainTest"))->name, QStringLiteral("PlainTest"));
    EXPECT_EQ(find(QStringLiteral("PlainTest"))->icon.cacheKey(),
              HideableApp::genericIcon().cacheKey());
    EXPECT_EQ(find(QStringLiteral("TrayTest")), apps.end()) << "kept off the task bar";
    EXPECT_EQ(find(ownClass), apps.end()) << "our own window";
    // Sorted by name: "Painter Pro" before "PlainTest".
    EXPECT_LT(find(QStringLiteral("PainterTest")), find(QStringLiteral("PlainTest")));

    // Gone with its program; a hidden one that quit is still described.
    painter.kill();
    pump(300);
    const std::vector<HideableApp> later = HideableApp::candidates();
    EXPECT_TRUE(std::none_of(later.begin(), later.end(), [](const HideableApp& a) {
        return a.bundleID == QStringLiteral("PainterTest");
    }));
    EXPECT_EQ(HideableApp::make(QStringLiteral("PainterTest")).name, QStringLiteral("Painter Pro"));
    QFile::remove(folder + QStringLiteral("/org.example.painter.desktop"));
}

TEST_F(RecordingWindowsOnX11, ALaunchAndAQuitAreReported) {
    RunningApps running;
    ASSERT_TRUE(running.isWatching());
    QSignalSpy launched(&running, &RunningApps::launched);
    QSignalSpy terminated(&running, &RunningApps::terminated);
    QSignalSpy changed(&running, &RunningApps::changed);

    auto late = std::make_unique<AppWindow>(QStringLiteral("LateTest"), QStringLiteral("late"));
    ASSERT_TRUE(waitFor(3000, [&launched] { return !launched.isEmpty(); }));
    EXPECT_EQ(launched.first().first().toString(), QStringLiteral("LateTest"));
    EXPECT_GE(changed.size(), 1);
    EXPECT_TRUE(running.appIDs().contains(QStringLiteral("LateTest")));

    // A second window of a running application is no launch, yet a change.
    launched.clear();
    changed.clear();
    AppWindow again(QStringLiteral("LateTest"), QStringLiteral("late"));
    ASSERT_TRUE(waitFor(3000, [&changed] { return !changed.isEmpty(); }));
    pump(200);
    EXPECT_TRUE(launched.isEmpty());

    // Its last window gone: a quit.
    late.reset();
    pump(300);
    EXPECT_TRUE(terminated.isEmpty()) << "one window is left";
    again.kill();
    ASSERT_TRUE(waitFor(3000, [&terminated] { return !terminated.isEmpty(); }));
    EXPECT_EQ(terminated.first().first().toString(), QStringLiteral("LateTest"));
    EXPECT_FALSE(running.appIDs().contains(QStringLiteral("LateTest")));
}

// The list of applications to hide, left open: one that starts meanwhile
// gets its row, and the row goes when it quits, unless it is hidden.
TEST_F(RecordingWindowsOnX11, TheOpenHiddenAppsListFollowsLaunchesAndQuits) {
    QStringList hidden{QStringLiteral("KeptTest")};
    ControlBarLinks links;
    links.hiddenApps = [&hidden] { return hidden; };
    links.hideNotifications = [] { return false; };
    HiddenAppsPopup popup(links);
    popup.show();
    const auto rows = [&popup] {
        QStringList ids;
        for (QCheckBox* row : popup.findChildren<QCheckBox*>()) {
            if (row->property("bundleID").isValid()) {
                ids << row->property("bundleID").toString();
            }
        }
        return ids;
    };
    ASSERT_FALSE(rows().contains(QStringLiteral("LateTest")));
    EXPECT_TRUE(rows().contains(QStringLiteral("KeptTest"))) << "hidden, not running";

    auto late = std::make_unique<AppWindow>(QStringLiteral("LateTest"), QStringLiteral("late"));
    auto kept = std::make_unique<AppWindow>(QStringLiteral("KeptTest"), QStringLiteral("kept"));
    EXPECT_TRUE(waitFor(3000, [&] { return rows().contains(QStringLiteral("LateTest")); }));
    EXPECT_EQ(rows().count(QStringLiteral("KeptTest")), 1);

    late.reset();
    kept.reset();
    EXPECT_TRUE(waitFor(3000, [&] { return !rows().contains(QStringLiteral("LateTest")); }));
    EXPECT_EQ(rows().count(QStringLiteral("KeptTest")), 1);
}

TEST_F(RecordingWindowsOnX11, ThePreviousAppGetsTheFocusBackButOursDoesNot) {
    AppWindow other(QStringLiteral("FocusTest"), QStringLiteral("focus"));
    QWindow own;
    own.setTitle(QStringLiteral("Our panel"));
    own.resize(200, 150);
    own.show();
    ASSERT_TRUE(waitFor(3000, [&own] {
        const auto ids = platform::clientStackingOrder();
        return std::find(ids.begin(), ids.end(), own.winId()) != ids.end();
    }));

    xdotool(
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(other.id())});
    ASSERT_TRUE(waitFor(3000, [&other] { return platform::activeWindow() == other.id(); }));
    PreviousApp previous;
    previous.remember();
    EXPECT_EQ(previous.window(), other.id());
    // Our panel takes the focus, then closes.
    ASSERT_TRUE(platform::requestWindowActivation(&own));
    ASSERT_TRUE(waitFor(3000, [&own] { return platform::activeWindow() == own.winId(); }));
    EXPECT_TRUE(previous.restore());
    EXPECT_TRUE(waitFor(3000, [&other] { return platform::activeWindow() == other.id(); }));
    EXPECT_FALSE(previous.window()) << "forgotten once used";

    // Ours was in front at the press: nothing is activated at the close.
    ASSERT_TRUE(platform::requestWindowActivation(&own));
    ASSERT_TRUE(waitFor(3000, [&own] { return platform::activeWindow() == own.winId(); }));
    previous.remember();
    EXPECT_EQ(previous.window(), own.winId());
    EXPECT_FALSE(previous.restore());
    pump(300);
    EXPECT_EQ(platform::activeWindow(), own.winId());
}

} // namespace
} // namespace recording
