#include "editor/EditorServices.h"

#include "annotation/EditStore.h"
#include "delivery/RecentCaptures.h"
#include "platform/ClientWindows.h"
#include "platform/MainThread.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QProcess>
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

// Whether the desktop names a program for the file's type. xdg-open starts
// whatever it finds, and finding nothing, says so only on its own error
// output: the question is asked first. Where it cannot be asked (no
// xdg-mime), the launcher decides.
bool hasDefaultProgram(const QString& path) {
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit) {
        query.kill();
        query.waitForFinished(500);
        return true;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
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
        return hasDefaultProgram(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    services.windowOrder = stackingOrder;
    return services;
}

EditorServices& EditorServices::current() {
    static EditorServices services = defaults();
    return services;
}

} // namespace editor
