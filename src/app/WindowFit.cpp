#include "app/WindowFit.h"

#include <QCursor>
#include <QGuiApplication>

#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace app {

namespace {

// What a window manager's decoration takes before the window is first shown
// and the real frame is known: a title bar and thin borders.
constexpr QMargins assumedFrame(4, 36, 4, 4);

} // namespace

QSize roomOnScreen(const QWidget* window, QScreen* screen) {
    if (screen == nullptr && window != nullptr && window->isVisible()) {
        screen = window->screen();
    }
    if (screen == nullptr) {
        screen = QGuiApplication::screenAt(QCursor::pos());
    }
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    QMargins frame = assumedFrame;
    if (window != nullptr && window->isVisible() && window->windowHandle() != nullptr) {
        const QMargins real = window->windowHandle()->frameMargins();
        if (!real.isNull()) {
            frame = real;
        }
    }
    const QRect available = screen->availableGeometry();
    return QSize(std::max(1, available.width() - frame.left() - frame.right()),
                 std::max(1, available.height() - frame.top() - frame.bottom()));
}

QSize fittedSize(const QWidget* window, QSize wanted, QScreen* screen) {
    return wanted.boundedTo(roomOnScreen(window, screen));
}

} // namespace app
