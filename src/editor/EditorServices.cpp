#include "editor/EditorServices.h"

#include "annotation/EditStore.h"
#include "delivery/RecentCaptures.h"
#include "platform/ClientWindows.h"
#include "platform/MainThread.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace editor {

namespace {

std::vector<WId> stackingOrder() {
    std::vector<WId> order;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        for (const std::uint32_t id : platform::clientStackingOrder()) {
            order.push_back(WId(id));
        }
    } else if (QWidget* active = QApplication::activeWindow()) {
        // Without a window manager to ask, the active window is in front.
        order.push_back(active->winId());
    }
    return order;
}

} // namespace

EditorServices EditorServices::defaults() {
    EditorServices services;
    services.store = &annotation::EditStore::shared();
    services.recentLibrary = &delivery::RecentCaptures::shared();
    services.editorOpened = [] { delivery::RecentCaptures::shared().editorOpened(); };
    services.editorClosed = [] { delivery::RecentCaptures::shared().editorClosed(); };
    services.refreshRecent = [] { delivery::RecentCaptures::shared().refresh(); };
    services.newestCapture = [](std::function<void(std::optional<QString>)> done) {
        delivery::RecentCaptures::shared().newestCapture(std::move(done));
    };
    services.beep = [] { QApplication::beep(); };
    services.openWithDefaultApp = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    services.windowOrder = stackingOrder;
    return services;
}

EditorServices& EditorServices::current() {
    static EditorServices services = defaults();
    return services;
}

} // namespace editor
