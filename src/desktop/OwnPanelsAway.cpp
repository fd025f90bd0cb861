#include "desktop/OwnPanelsAway.h"

#include "platform/X11Server.h"

#include <QGuiApplication>
#include <QThread>

namespace desktop {

namespace {

// Time for the windows that our panels uncover to paint themselves again; the
// X server keeps no copy of what was beneath.
constexpr unsigned long kRepaintMilliseconds = 100;

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
        window->hide();
        hidden_.append(window);
    }
    if (!hidden_.isEmpty()) {
        platform::syncQtWindowSystem();
        QThread::msleep(kRepaintMilliseconds);
    }
}

OwnPanelsAway::~OwnPanelsAway() {
    for (const QPointer<QWindow>& window : hidden_) {
        if (window) {
            window->show();
        }
    }
}

} // namespace desktop
