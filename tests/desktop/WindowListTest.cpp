#include "desktop/WindowList.h"

#include "support/TempDir.h"

#include <QDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace desktop {
namespace {

using namespace WindowList;

const QList<CaptureDisplay> kDisplays{{nullptr, 1, 1.0, QRectF(0, 0, 1920, 1080)},
                                      {nullptr, 2, 2.0, QRectF(1920, 0, 1280, 800)}};

platform::ClientWindow normalWindow() {
    platform::ClientWindow w;
    w.id = 0x400001;
    w.topLevel = 0x200001;
    w.frame = QRect(100, 80, 400, 300);
    w.pid = 4242;
    w.title = QStringLiteral("Notes");
    w.className = QStringLiteral("Gedit");
    w.types = {QStringLiteral("_NET_WM_WINDOW_TYPE_NORMAL")};
    w.viewable = true;
    return w;
}

TEST(WindowListTest, ConvertsAManagedWindow) {
    const auto info = windowInfo(normalWindow(), 1, {}, kDisplays);
    ASSERT_TRUE(info);
    EXPECT_EQ(*info, (WindowInfo{0x400001, QRectF(100, 80, 400, 300), 4242, "Gedit", "Notes"}));

    // On the scale-2 display pixels become half as many points.
    platform::ClientWindow onRetina = normalWindow();
    onRetina.frame = QRect(2020, 100, 800, 600);
    EXPECT_EQ(windowInfo(onRetina, 1, {}, kDisplays)->frame, QRectF(1970, 50, 400, 300));

    // A window that gives no pid is still a window a user can pick.
    platform::ClientWindow noPid = normalWindow();
    noPid.pid.reset();
    EXPECT_EQ(windowInfo(noPid, 1, {}, kDisplays)->ownerPID, 0);
}

TEST(WindowListTest, NamesTheOwnerByItsApplicationsDesktopFile) {
    testsupport::TempDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("applications"));
    testsupport::writeAll(dir.file(QStringLiteral("applications/org.gnome.gedit.desktop")),
                          "[Desktop Entry]\nType=Application\nName=Text Editor\n"
                          "StartupWMClass=Gedit\n");
    const platform::DesktopEntries applications({dir.file(QStringLiteral("applications"))});

    EXPECT_EQ(windowInfo(normalWindow(), 1, {}, kDisplays, &applications)->ownerName,
              QStringLiteral("Text Editor"));
    platform::ClientWindow unknown = normalWindow();
    unknown.className = QStringLiteral("Xeyes");
    unknown.instanceName = QStringLiteral("xeyes");
    EXPECT_EQ(windowInfo(unknown, 1, {}, kDisplays, &applications)->ownerName,
              QStringLiteral("Xeyes"));
}

TEST(WindowListTest, LeavesOutWhatAUserDoesNotPick) {
    struct Case {
        const char* name;
        void (*change)(platform::ClientWindow&);
        bool listed;
    } cases[] = {
        {"unmapped", [](platform::ClientWindow& w) { w.viewable = false; }, false},
        {"minimised", [](platform::ClientWindow& w) { w.states = {"_NET_WM_STATE_HIDDEN"}; },
         false},
        {"kept above", [](platform::ClientWindow& w) { w.states = {"_NET_WM_STATE_ABOVE"}; }, true},
        {"desktop", [](platform::ClientWindow& w) { w.types = {"_NET_WM_WINDOW_TYPE_DESKTOP"}; },
         false},
        {"dock", [](platform::ClientWindow& w) { w.types = {"_NET_WM_WINDOW_TYPE_DOCK"}; }, false},
        {"tooltip", [](platform::ClientWindow& w) { w.types = {"_NET_WM_WINDOW_TYPE_TOOLTIP"}; },
         false},
        {"notification",
         [](platform::ClientWindow& w) { w.types = {"_NET_WM_WINDOW_TYPE_NOTIFICATION"}; }, false},
        {"dialog", [](platform::ClientWindow& w) { w.types = {"_NET_WM_WINDOW_TYPE_DIALOG"}; },
         true},
        {"utility", [](platform::ClientWindow& w) { w.types = {"_NET_WM_WINDOW_TYPE_UTILITY"}; },
         true},
        {"private kind before a known one",
         [](platform::ClientWindow& w) {
             w.types = {"_KDE_NET_WM_WINDOW_TYPE_OVERRIDE", "_NET_WM_WINDOW_TYPE_DOCK"};
         },
         false},
        {"no type", [](platform::ClientWindow& w) { w.types.clear(); }, true},
        {"opacity 0.01", [](platform::ClientWindow& w) { w.opacity = 0.01; }, false},
        {"opacity 0.02", [](platform::ClientWindow& w) { w.opacity = 0.02; }, true},
        {"24 x 24",
         [](platform::ClientWindow& w) {
             w.frame.setSize({24, 24});
         },
         true},
        {"23 x 200",
         [](platform::ClientWindow& w) {
             w.frame.setSize({23, 200});
         },
         false},
        {"200 x 23",
         [](platform::ClientWindow& w) {
             w.frame.setSize({200, 23});
         },
         false},
        // 40 pixels on the scale-2 display are 20 points.
        {"small in points", [](platform::ClientWindow& w) { w.frame = QRect(2000, 100, 40, 400); },
         false},
        {"one of ours", [](platform::ClientWindow& w) { w.pid = 1; }, false},
        {"one of ours that is kept",
         [](platform::ClientWindow& w) {
             w.pid = 1;
             w.id = 77;
         },
         true},
    };
    for (const Case& c : cases) {
        platform::ClientWindow window = normalWindow();
        c.change(window);
        EXPECT_EQ(windowInfo(window, 1, {77}, kDisplays).has_value(), c.listed) << c.name;
    }
}

TEST(WindowListTest, FindsTheFrontWindowAndTheWindowsCoveringIt) {
    const std::vector<WindowInfo> list{
        {1, QRectF(150, 150, 100, 100), 10, "A", "front"},
        {2, QRectF(700, 0, 100, 100), 11, "B", "elsewhere"},
        {3, QRectF(100, 100, 400, 300), 12, "C", "back"},
    };
    EXPECT_EQ(window({200, 200}, list)->id, 1u);
    EXPECT_EQ(window({120, 120}, list)->id, 3u);
    EXPECT_EQ(window({500, 399}, list), std::nullopt); // right edge is outside
    EXPECT_EQ(windows(list[2], list), std::vector<QRectF>{list[0].frame});
    EXPECT_TRUE(windows(list[0], list).empty());
    WindowInfo moved = list[2];
    moved.frame.translate(1, 0);
    EXPECT_TRUE(windows(moved, list).empty());
}

TEST(WindowListTest, PlacesTheLabelWhereTheWindowShows) {
    const QRectF rect(0, 0, 400, 300);
    EXPECT_EQ(placement(rect, {}), QPointF(200, 150));
    EXPECT_EQ(placement(rect, {QRectF(0, 0, 50, 50)}), QPointF(200, 150));
    // The centre is covered by a frame on the left: the strip to its right wins.
    EXPECT_EQ(placement(rect, {QRectF(-10, -10, 250, 400)}), QPointF(320, 150));
    // A frame in the middle leaves four strips; left (100 wide) and right
    // (100 wide) tie, and the first of equal ones stays first.
    EXPECT_EQ(placement(rect, {QRectF(100, 50, 200, 200)}), QPointF(50, 150));
    // Covered everywhere: the centre anyway.
    EXPECT_EQ(placement(rect, {QRectF(-1, -1, 500, 500)}), QPointF(200, 150));
}

TEST(WindowListTest, OwnCapturableWindowsAreTitledVisibleAndAtTheNormalLevel) {
    QWidget titled;
    titled.setWindowTitle(QStringLiteral("Editor"));
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    QWidget above;
    above.setWindowFlag(Qt::WindowStaysOnTopHint);
    QWidget hidden;
    hidden.winId();
    for (QWidget* w : {&titled, &panel, &above}) {
        w->resize(100, 100);
        w->show();
    }
    const QSet<std::uint32_t> ids = ownCapturableWindowIDs();
    EXPECT_TRUE(ids.contains(static_cast<std::uint32_t>(titled.winId())));
    EXPECT_FALSE(ids.contains(static_cast<std::uint32_t>(panel.winId())));
    EXPECT_FALSE(ids.contains(static_cast<std::uint32_t>(above.winId())));
    EXPECT_FALSE(ids.contains(static_cast<std::uint32_t>(hidden.winId())));
}

} // namespace
} // namespace desktop
