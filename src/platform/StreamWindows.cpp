#include "platform/StreamWindows.h"

namespace platform {

QString notificationAppId() {
    // The name of the notification service: no window's WM_CLASS class.
    return QStringLiteral("org.freedesktop.Notifications");
}

namespace {
bool matches(const QSet<std::uint32_t>& ids, const StreamWindow& window) {
    return ids.contains(window.client) || ids.contains(window.topLevel);
}
} // namespace

bool WindowsLeftOut::leavesOut(const StreamWindow& window) const {
    if (window.pid && *window.pid == ownPid && ownPid != 0 && !matches(ownKept, window)) {
        return true;
    }
    if (!window.appClass.isEmpty() && appIds.contains(window.appClass)) {
        return true;
    }
    return window.types.contains(QStringLiteral("_NET_WM_WINDOW_TYPE_NOTIFICATION")) &&
           appIds.contains(notificationAppId());
}

bool WindowsShown::shows(const StreamWindow& candidate) const {
    return candidate.client == window || candidate.topLevel == window ||
           matches(alongside, candidate);
}

} // namespace platform
