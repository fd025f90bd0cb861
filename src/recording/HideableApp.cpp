#include "recording/HideableApp.h"

#include "app/NameCollator.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QSet>

#include <algorithm>

namespace recording {

namespace {

// A plain application tile, for when the icon theme has no generic icon.
QIcon drawnGenericIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 124, 132));
    painter.drawRoundedRect(QRectF(6, 6, 52, 52), 12, 12);
    painter.setBrush(QColor(236, 237, 240));
    painter.drawRoundedRect(QRectF(16, 20, 32, 26), 4, 4);
    painter.end();
    return QIcon(pixmap);
}

// The icon a .desktop file names: a file by its absolute path, else a name of
// the icon theme; the generic icon when neither can be found.
QIcon entryIcon(const platform::DesktopEntries::Entry* entry) {
    if (entry == nullptr || entry->icon.isEmpty()) {
        return HideableApp::genericIcon();
    }
    if (QDir::isAbsolutePath(entry->icon)) {
        if (QFileInfo(entry->icon).isFile()) {
            QIcon icon(entry->icon);
            if (!icon.availableSizes().isEmpty()) {
                return icon;
            }
        }
        return HideableApp::genericIcon();
    }
    if (QIcon::hasThemeIcon(entry->icon)) {
        return QIcon::fromTheme(entry->icon);
    }
    return HideableApp::genericIcon();
}

const QString& kWindowTypePrefix() {
    static const QString prefix = QStringLiteral("_NET_WM_WINDOW_TYPE_");
    return prefix;
}

} // namespace

QIcon HideableApp::genericIcon() {
    static const QIcon icon = [] {
        const QString themed = QStringLiteral("application-x-executable");
        return QIcon::hasThemeIcon(themed) ? QIcon::fromTheme(themed) : drawnGenericIcon();
    }();
    return icon;
}

bool HideableApp::isCandidate(const platform::ClientWindow& window, std::int32_t ownPID) {
    if (window.className.isEmpty()) {
        return false;
    }
    if (window.pid && *window.pid == ownPID) {
        return false;
    }
    if (window.states.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR"))) {
        return false;
    }
    // The first standard kind decides (a toolkit may put a private one of its
    // own first); a window without one is an ordinary window.
    for (const QString& type : window.types) {
        if (type.startsWith(kWindowTypePrefix())) {
            return type == QLatin1String("_NET_WM_WINDOW_TYPE_NORMAL");
        }
    }
    return true;
}

HideableApp HideableApp::make(const QString& bundleID, const QList<platform::ClientWindow>& windows,
                              const platform::DesktopEntries& applications) {
    const auto running =
        std::find_if(windows.begin(), windows.end(), [&bundleID](const platform::ClientWindow& w) {
            return !bundleID.isEmpty() && w.className == bundleID;
        });
    const platform::DesktopEntries::Entry* entry = applications.forWindowClass(
        bundleID, running != windows.end() ? running->instanceName : QString());
    if (entry == nullptr) {
        return {bundleID, bundleID, genericIcon()};
    }
    return {bundleID, entry->name, entryIcon(entry)};
}

HideableApp HideableApp::make(const QString& bundleID) {
    return make(bundleID, platform::clientWindowsInMappingOrder(),
                platform::DesktopEntries::current());
}

std::vector<HideableApp> HideableApp::candidates(const QList<platform::ClientWindow>& clientList,
                                                 std::int32_t ownPID,
                                                 const platform::DesktopEntries& applications) {
    std::vector<HideableApp> apps;
    QSet<QString> seen;
    for (const platform::ClientWindow& window : clientList) {
        if (!isCandidate(window, ownPID) || seen.contains(window.className)) {
            continue;
        }
        seen.insert(window.className);
        const platform::DesktopEntries::Entry* entry =
            applications.forWindowClass(window.className, window.instanceName);
        apps.push_back({window.className, entry != nullptr ? entry->name : window.className,
                        entryIcon(entry)});
    }
    const QCollator& collator = app::nameCollator();
    std::stable_sort(apps.begin(), apps.end(),
                     [&collator](const HideableApp& a, const HideableApp& b) {
                         return collator.compare(a.name, b.name) < 0;
                     });
    return apps;
}

std::vector<HideableApp> HideableApp::candidates() {
    return candidates(platform::clientWindowsInMappingOrder(),
                      static_cast<std::int32_t>(QCoreApplication::applicationPid()),
                      platform::DesktopEntries::current());
}

} // namespace recording
