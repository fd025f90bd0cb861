// Runs only on a real X server (the x11 rig).
#include "platform/QuietWindowMove.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWindow>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

// Where the server has the window, asked on a connection of the test's own.
QPoint serverPosition(xcb_connection_t* connection, xcb_window_t window) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    auto* reply = xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, screen->root, 0, 0), nullptr);
    const QPoint at = reply != nullptr ? QPoint(reply->dst_x, reply->dst_y) : QPoint(-1, -1);
    std::free(reply);
    return at;
}

bool within5s(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 5000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

TEST(QuietWindowMoveOnX11, TheServerMovesTheWindowAndQtHearsOnlyItsOwnMoves) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "needs an X server";
    }
    std::unique_ptr<xcb_connection_t, Disconnect> own(xcb_connect(nullptr, nullptr));
    ASSERT_EQ(xcb_connection_has_error(own.get()), 0);

    QWindow window;
    // Moved by the test's own connection after the frames: once Qt hears of
    // that move, it has read every notice the frames caused.
    QWindow marker;
    for (QWindow* each : {&window, &marker}) {
        each->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    }
    window.setGeometry(10, 20, 60, 40);
    marker.setGeometry(400, 300, 20, 20);
    std::vector<int> heardX;
    QObject::connect(&window, &QWindow::xChanged, [&](int x) { heardX.push_back(x); });
    int markerX = 400;
    QObject::connect(&marker, &QWindow::xChanged, [&](int x) { markerX = x; });
    window.show();
    marker.show();
    const auto id = static_cast<xcb_window_t>(window.winId());
    ASSERT_TRUE(within5s([&] { return window.isExposed() && marker.isExposed(); }));
    heardX.clear();

    // A slide's frames: the server follows, Qt is not told.
    for (const QPoint to : {QPoint(150, 120), QPoint(200, 150)}) {
        ASSERT_TRUE(platform::moveWindowQuietly(id, to));
    }
    ASSERT_TRUE(within5s([&] { return serverPosition(own.get(), id) == QPoint(200, 150); }));
    const std::uint32_t markerTo[] = {450};
    xcb_configure_window(own.get(), static_cast<xcb_window_t>(marker.winId()), XCB_CONFIG_WINDOW_X,
                         markerTo);
    xcb_flush(own.get());
    ASSERT_TRUE(within5s([&] { return markerX == 450; }));
    EXPECT_TRUE(heardX.empty()) << "Qt heard of a frame's move, to x = " << heardX.front();
    EXPECT_EQ(window.position(), QPoint(10, 20));

    // The end of the slide, through Qt: heard, and the window is there.
    window.setPosition(300, 200);
    ASSERT_TRUE(within5s([&] { return !heardX.empty() && heardX.back() == 300; }))
        << "Qt never heard its own move";
    EXPECT_EQ(serverPosition(own.get(), id), QPoint(300, 200));
    EXPECT_EQ(window.position(), QPoint(300, 200));
}

} // namespace
