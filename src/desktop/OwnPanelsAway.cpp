#include "desktop/OwnPanelsAway.h"

#include "platform/UncoveredRepaint.h"
#include "platform/X11Server.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QWidget>

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
    bool shown = false;
    for (const QPointer<QWindow>& window : hidden_) {
        if (window) {
            window->show();
            shown = true;
        }
    }
    if (!shown || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    // A window mapped again shows nothing of its own until it paints on its
    // Expose event, and the caller goes on with the picture (encoding, saving)
    // before this thread gets back to its events: without a compositing
    // manager the panels would stand there unpainted meanwhile. Their last
    // painting is still in their backing stores, so it goes back at once.
    platform::syncQtWindowSystem();
    for (const QPointer<QWindow>& window : hidden_) {
        QWidget* widget = window ? QWidget::find(window->winId()) : nullptr;
        QBackingStore* store = widget != nullptr ? widget->backingStore() : nullptr;
        if (store != nullptr && widget->isVisible()) {
            store->flush(QRegion(QRect(QPoint(), window->size())), window);
        }
    }
    platform::syncQtWindowSystem();
}

} // namespace desktop
