#include "desktop/OwnPanelsAway.h"

#include "platform/UncoveredRepaint.h"
#include "platform/X11Server.h"

#include <QGuiApplication>

#include <vector>

namespace desktop {

namespace {

// The longest wait for the windows that our panels uncover to paint themselves
// again (the X server keeps no copy of what was beneath): a program that has
// not repainted by then is busy, and the picture takes what it shows.
constexpr std::chrono::milliseconds kRepaintLimit{100};

} // namespace

OwnPanelsAway::OwnPanelsAway(const QRectF& area, const QSet<std::uint32_t>& keep) {
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible() || window->handle() == nullptr) {
            continue;
        }
        if (keep.contains(static_cast<std::uint32_t>(window->winId()))) {
            continue;
        }
        if (!QRectF(window->frameGeometry()).intersects(area)) {
            continue;
        }
        hidden_.append(window);
    }
    if (hidden_.isEmpty()) {
        return;
    }
    // Off X11 (the offscreen platform of the tests) nothing shows on a screen.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        for (const QPointer<QWindow>& window : hidden_) {
            window->hide();
        }
        return;
    }
    QSet<std::uint32_t> ours;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->handle() != nullptr) {
            ours.insert(static_cast<std::uint32_t>(window->winId()));
        }
    }
    std::vector<std::uint32_t> leaving;
    for (const QPointer<QWindow>& window : hidden_) {
        leaving.push_back(static_cast<std::uint32_t>(window->winId()));
    }
    platform::UncoveredRepaint repaint(leaving, ours);
    for (const QPointer<QWindow>& window : hidden_) {
        window->hide();
    }
    platform::syncQtWindowSystem();
    repaint.wait(kRepaintLimit);
}

OwnPanelsAway::~OwnPanelsAway() {
    for (const QPointer<QWindow>& window : hidden_) {
        if (window) {
            window->show();
        }
    }
}

} // namespace desktop
