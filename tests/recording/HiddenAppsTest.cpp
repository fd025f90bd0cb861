#include "recording/HiddenApps.h"
#include "recording/PreviousApp.h"
#include "recording/RunningApps.h"

#include "app/Preferences.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace recording {
namespace {

constexpr std::int32_t kOwnPID = 1000;

const QString kNormal = QStringLiteral("_NET_WM_WINDOW_TYPE_NORMAL");

platform::ClientWindow window(const QString& className, const QString& instanceName = {},
                              std::optional<std::int32_t> pid = 2000, QStringList types = {},
                              QStringList states = {}) {
    platform::ClientWindow w;
    w.className = className;
    w.instanceName = instanceName.isEmpty() ? className.toLower() : instanceName;
    w.pid = pid;
    w.types = std::move(types);
    w.states = std::move(states);
    w.viewable = true;
    return w;
}

QStringList ids(const std::vector<HideableApp>& apps) {
    QStringList out;
    for (const HideableApp& app : apps) {
        out.append(app.bundleID);
    }
    return out;
}

QStringList names(const std::vector<HideableApp>& apps) {
    QStringList out;
    for (const HideableApp& app : apps) {
        out.append(app.name);
    }
    return out;
}

// An applications folder with small .desktop files, one of whose icons is a
// red PNG beside it.
class HiddenAppsTest : public ::testing::Test {
protected:
    QString folder() const { return dir.path() + QStringLiteral("/applications"); }
    void app(const QString& file, const QByteArray& name, const QByteArray& more = {}) {
        QDir().mkpath(folder());
        testsupport::writeAll(folder() + u'/' + file, "[Desktop Entry]\nType=Application\nName=" +
                                                          name + "\nExec=true\n" + more);
    }
    QString redIcon() {
        const QString path = dir.file(QStringLiteral("red.png"));
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::red);
        image.save(path);
        return path;
    }
    platform::DesktopEntries entries() const { return platform::DesktopEntries({folder()}); }

    testsupport::TempDir dir;
};

TEST_F(HiddenAppsTest, CandidatesAreOtherProgramsOrdinaryTaskBarWindowsOnePerClass) {
    const platform::DesktopEntries none({});
    struct Case {
        const char* what;
        platform::ClientWindow window;
        bool candidate;
    };
    const Case cases[] = {
        {"a normal window", window("Editor", {}, 2000, {kNormal}), true},
        {"no type at all is an ordinary window", window("Editor"), true},
        {"a toolkit's private type before NORMAL",
         window("Editor", {}, 2000, {"_KDE_NET_WM_WINDOW_TYPE_OVERRIDE", kNormal}), true},
        {"no PID said", window("Editor", {}, std::nullopt), true},
        {"a minimised window still runs",
         window("Editor", {}, 2000, {kNormal}, {"_NET_WM_STATE_HIDDEN"}), true},
        {"our own window", window("Vexlin", {}, kOwnPID, {kNormal}), false},
        {"skips the task bar", window("Tray", {}, 2000, {kNormal}, {"_NET_WM_STATE_SKIP_TASKBAR"}),
         false},
        {"a dialog", window("Editor", {}, 2000, {"_NET_WM_WINDOW_TYPE_DIALOG", kNormal}), false},
        {"a dock", window("Panel", {}, 2000, {"_NET_WM_WINDOW_TYPE_DOCK"}), false},
        {"a notification", window("Notes", {}, 2000, {"_NET_WM_WINDOW_TYPE_NOTIFICATION"}), false},
        {"a utility window", window("Editor", {}, 2000, {"_NET_WM_WINDOW_TYPE_UTILITY"}), false},
        {"no WM_CLASS", window({}, {}, 2000, {kNormal}), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HideableApp::isCandidate(c.window, kOwnPID), c.candidate) << c.what;
        EXPECT_EQ(HideableApp::candidates({c.window}, kOwnPID, none).size(), c.candidate ? 1u : 0u)
            << c.what;
    }
}

TEST_F(HiddenAppsTest, CandidatesAreNamedByTheirDesktopFilesAndSortedLikeAFileManager) {
    const QString red = redIcon();
    app(QStringLiteral("org.example.Painter.desktop"), "Painter",
        "StartupWMClass=PaintMe\nIcon=" + red.toUtf8() + "\n");
    app(QStringLiteral("gimp.desktop"), "image editor");
    app(QStringLiteral("missing-icon.desktop"), "Zed", "StartupWMClass=Zed\nIcon=/no/such.png\n");
    const QList<platform::ClientWindow> list{
        window("App 10", "app10"),
        window("PaintMe", "painter-bin"),
        // Two instances, two windows: one candidate.
        window("Term", "term", 2001),
        window("Term", "term", 2002),
        // Named by its instance's file, the class kept as the id as it is.
        window("Gimp-2.10", "gimp"),
        window("App 9", "app9"),
        window("Zed"),
        // Two classes with one name keep their list order.
        window("beta", "b1"),
        window("Beta", "b2"),
        window("Vexlin", "vexlin", kOwnPID),
    };
    const std::vector<HideableApp> apps = HideableApp::candidates(list, kOwnPID, entries());
    EXPECT_EQ(names(apps), (QStringList{"App 9", "App 10", "beta", "Beta", "image editor",
                                        "Painter", "Term", "Zed"}));
    EXPECT_EQ(ids(apps), (QStringList{"App 9", "App 10", "beta", "Beta", "Gimp-2.10", "PaintMe",
                                      "Term", "Zed"}));

    const auto find = [&apps](const char* id) {
        return *std::find_if(apps.begin(), apps.end(),
                             [id](const HideableApp& a) { return a.bundleID == id; });
    };
    const QImage painter = find("PaintMe").icon.pixmap(18, 18).toImage();
    ASSERT_FALSE(painter.isNull());
    EXPECT_EQ(painter.pixelColor(9, 9), QColor(Qt::red)) << "the .desktop file's icon";
    const qint64 generic = HideableApp::genericIcon().cacheKey();
    EXPECT_EQ(find("Term").icon.cacheKey(), generic) << "no .desktop file";
    EXPECT_EQ(find("Zed").icon.cacheKey(), generic) << "a .desktop icon that is not there";
    EXPECT_FALSE(HideableApp::genericIcon().pixmap(18, 18).isNull());
}

TEST_F(HiddenAppsTest, AnAppByItsIdIsRunningElseInstalledElseTheIdItself) {
    app(QStringLiteral("painter.desktop"), "Painter", "StartupWMClass=PaintMe\n");
    app(QStringLiteral("gimp.desktop"), "image editor");
    const QList<platform::ClientWindow> running{
        window("Gimp-2.10", "gimp"),
        window("Tray", "tray", 2000, {kNormal}, {"_NET_WM_STATE_SKIP_TASKBAR"})};
    const qint64 generic = HideableApp::genericIcon().cacheKey();
    struct Case {
        const char* what;
        QString id;
        QString name;
    };
    const Case cases[] = {
        {"running: its instance finds the .desktop file", "Gimp-2.10", "image editor"},
        {"running without a candidate window", "Tray", "Tray"},
        {"installed, not running", "PaintMe", "Painter"},
        {"neither: the id", "org.gone.App", "org.gone.App"},
        {"the id is compared as stored", "gimp-2.10", "gimp-2.10"},
    };
    for (const Case& c : cases) {
        const HideableApp made = HideableApp::make(c.id, running, entries());
        EXPECT_EQ(made.bundleID, c.id) << c.what;
        EXPECT_EQ(made.name, c.name) << c.what;
    }
    EXPECT_EQ(HideableApp::make("org.gone.App", running, entries()).icon.cacheKey(), generic);
}

TEST_F(HiddenAppsTest, HiddenAppsThatQuitStayListedAfterTheRunningOnes) {
    const std::vector<HideableApp> running{{"Term", "Terminal", {}}, {"Editor", "Editor", {}}};
    QStringList described;
    const auto describe = [&described](const QString& id) {
        described.append(id);
        return HideableApp{id, "installed " + id, {}};
    };
    struct Case {
        const char* what;
        QStringList hidden;
        QStringList rows;
    };
    const Case cases[] = {
        {"nothing hidden", {}, {"Term", "Editor"}},
        {"hidden and running: no second row", {"Editor"}, {"Term", "Editor"}},
        {"quit ones in stored order", {"Zzz", "Editor", "Aaa"}, {"Term", "Editor", "Zzz", "Aaa"}},
        {"an id stored twice is one row", {"Gone", "Gone"}, {"Term", "Editor", "Gone"}},
    };
    for (const Case& c : cases) {
        described.clear();
        const std::vector<HideableApp> rows = HiddenApps::listed(running, c.hidden, describe);
        EXPECT_EQ(ids(rows), c.rows) << c.what;
        EXPECT_EQ(described, c.rows.mid(2)) << c.what << ": only the quit ones are looked up";
    }
    EXPECT_TRUE(HiddenApps::listed({}, {}, describe).empty());
}

TEST_F(HiddenAppsTest, TogglingARowEditsTheListAndWritesItThrough) {
    struct Case {
        const char* what;
        QStringList before;
        const char* id;
        bool hide;
        QStringList after;
    };
    const Case cases[] = {
        {"hiding appends", {"A"}, "B", true, {"A", "B"}},
        {"hiding twice keeps one", {"A", "B"}, "A", true, {"A", "B"}},
        {"showing removes every occurrence", {"A", "B", "A", "C"}, "A", false, {"B", "C"}},
        {"showing what is not hidden", {"A"}, "Z", false, {"A"}},
        {"ids are case-sensitive", {"Term"}, "term", true, {"Term", "term"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HiddenApps::withApp(c.before, c.id, c.hide), c.after) << c.what;

        const QString path = dir.file(QStringLiteral("settings.conf"));
        QFile::remove(path);
        {
            app::Preferences preferences(path);
            preferences.setRecordingHiddenApps(c.before);
            QSignalSpy changed(&preferences, &app::Preferences::recordingHiddenAppsChanged);
            HiddenApps::setApp(preferences, c.id, c.hide);
            EXPECT_EQ(preferences.recordingHiddenApps(), c.after) << c.what;
            EXPECT_EQ(changed.size(), c.before == c.after ? 0 : 1) << c.what;
        }
        EXPECT_EQ(app::Preferences(path).recordingHiddenApps(), c.after)
            << c.what << ": stored in the settings file";
    }
}

TEST_F(HiddenAppsTest, TheButtonShowsAnyHidingExceptInAWindowRecording) {
    struct Case {
        QStringList hidden;
        bool notifications, windowOnly, active;
    };
    const Case cases[] = {
        {{}, false, false, false},   {{}, true, false, true}, // notifications alone count
        {{"A"}, false, false, true}, {{"A"}, true, true, false}, {{}, true, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HiddenApps::isActive(c.hidden, c.notifications, c.windowOnly), c.active)
            << c.hidden.join(',').toStdString() << c.notifications << c.windowOnly;
    }
    EXPECT_EQ(HiddenApps::toolTip(true), "Window recordings only show the window.");
    EXPECT_TRUE(HiddenApps::toolTip(false).startsWith("Hide apps from the recording."));

    const std::pair<int, int> heights[] = {{0, 0}, {1, 28}, {10, 280}, {11, 300}, {40, 300}};
    for (const auto& [rows, height] : heights) {
        EXPECT_EQ(HiddenApps::listHeight(rows), height) << rows;
    }
}

TEST_F(HiddenAppsTest, RunningAppsAreTheOtherProcessesClassesInListOrder) {
    const QList<platform::ClientWindow> list{
        window("Term", "term", 2001), window("Vexlin", "vexlin", kOwnPID),
        window({}, {}, 2003),         window("Tray", "tray", 2004, {"_NET_WM_WINDOW_TYPE_DOCK"}),
        window("Term", "term", 2002), window("Editor", "editor", std::nullopt),
    };
    EXPECT_EQ(RunningApps::appIDs(list, kOwnPID), (QStringList{"Term", "Tray", "Editor"}));
}

TEST(PreviousApp, TheFocusGoesBackOnlyToAnotherProgram) {
    EXPECT_TRUE(PreviousApp::isReturnedTo(2000, kOwnPID));
    EXPECT_TRUE(PreviousApp::isReturnedTo(std::nullopt, kOwnPID)) << "a window that says no PID";
    EXPECT_FALSE(PreviousApp::isReturnedTo(kOwnPID, kOwnPID));
    // Nothing remembered: nothing to ask for.
    PreviousApp previous;
    EXPECT_FALSE(previous.restore());
}

} // namespace
} // namespace recording
