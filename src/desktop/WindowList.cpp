#include "desktop/WindowList.h"

#include "desktop/ScreenGeometry.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>

namespace desktop::WindowList {

namespace {

constexpr double kMinimumSide = 24.0;
constexpr double kMinimumOpacity = 0.01;

// Kinds a user picks: what the window manager stacks at the normal, floating
// or modal levels. Everything else (desktop, docks and panels, menus, tooltips,
// notifications, drag icons) is the desktop's furniture or a transient.
bool isPickableType(const QStringList& types) {
    static const QStringList pickable{
        QStringLiteral("_NET_WM_WINDOW_TYPE_NORMAL"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_UTILITY"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_TOOLBAR"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_MENU"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_SPLASH"),
    };
    static const QStringList furniture{
        QStringLiteral("_NET_WM_WINDOW_TYPE_DESKTOP"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_DOCK"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_DROPDOWN_MENU"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_POPUP_MENU"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_TOOLTIP"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_NOTIFICATION"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_COMBO"),
        QStringLiteral("_NET_WM_WINDOW_TYPE_DND"),
    };
    // The list is in order of preference; the first kind we know decides.
    // Unknown kinds only (a toolkit's private type) and no type count as normal.
    for (const QString& type : types) {
        if (pickable.contains(type)) {
            return true;
        }
        if (furniture.contains(type)) {
            return false;
        }
    }
    return true;
}

} // namespace

QSet<std::uint32_t> ownCapturableWindowIDs() {
    QSet<std::uint32_t> ids;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible() || (window->windowStates() & Qt::WindowMinimized)) {
            continue;
        }
        const Qt::WindowFlags flags = window->flags();
        const Qt::WindowType type = window->type();
        const bool titled = (type == Qt::Window || type == Qt::Dialog) &&
                            !(flags & (Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint));
        const bool normalLevel =
            !(flags & (Qt::WindowStaysOnTopHint | Qt::WindowStaysOnBottomHint));
        if (titled && normalLevel) {
            ids.insert(static_cast<std::uint32_t>(window->winId()));
        }
    }
    return ids;
}

std::optional<WindowInfo> windowInfo(const platform::ClientWindow& window, std::int32_t ownPID,
                                     const QSet<std::uint32_t>& keep,
                                     const QList<CaptureDisplay>& displays,
                                     const platform::DesktopEntries* applications) {
    if (!window.viewable || window.states.contains(QStringLiteral("_NET_WM_STATE_HIDDEN"))) {
        return std::nullopt;
    }
    const std::int32_t pid = window.pid.value_or(0);
    if (pid == ownPID && pid != 0 && !keep.contains(window.id)) {
        return std::nullopt;
    }
    if (!isPickableType(window.types)) {
        return std::nullopt;
    }
    if (window.opacity && *window.opacity <= kMinimumOpacity) {
        return std::nullopt;
    }
    const QRectF frame = ScreenGeometry::pixelsToPoints(window.frame, displays);
    if (frame.width() < kMinimumSide || frame.height() < kMinimumSide) {
        return std::nullopt;
    }
    const QString owner = applications != nullptr
                              ? applications->applicationName(window.className, window.instanceName)
                              : window.className;
    return WindowInfo{window.id, frame, pid, owner, window.title};
}

std::vector<WindowInfo> copyWindowInfo() {
    const std::int32_t ownPID = static_cast<std::int32_t>(QCoreApplication::applicationPid());
    const QSet<std::uint32_t> keep = ownCapturableWindowIDs();
    const QList<CaptureDisplay> displays = ScreenGeometry::captureDisplays();
    const platform::DesktopEntries& applications = platform::DesktopEntries::current();
    std::vector<WindowInfo> windows;
    for (const platform::ClientWindow& window : platform::clientWindowsFrontToBack()) {
        if (auto info = windowInfo(window, ownPID, keep, displays, &applications)) {
            windows.push_back(*info);
        }
    }
    return windows;
}

std::optional<WindowInfo> window(const QPointF& at, const std::vector<WindowInfo>& list) {
    for (const WindowInfo& candidate : list) {
        if (ScreenGeometry::frameContains(candidate.frame, at)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::vector<QRectF> windows(const WindowInfo& intersecting, const std::vector<WindowInfo>& list) {
    std::vector<QRectF> frames;
    const auto found = std::find(list.begin(), list.end(), intersecting);
    if (found == list.end()) {
        return frames;
    }
    for (auto it = list.begin(); it != found; ++it) {
        if (it->frame.intersects(intersecting.frame)) {
            frames.push_back(it->frame);
        }
    }
    return frames;
}

QPointF placement(const QRectF& rect, const std::vector<QRectF>& covering) {
    const auto covered = [&covering](const QPointF& point) {
        return std::any_of(covering.begin(), covering.end(), [&point](const QRectF& frame) {
            return ScreenGeometry::frameContains(frame, point);
        });
    };
    const QPointF centre = rect.center();
    if (!covered(centre)) {
        return centre;
    }
    QList<QRectF> strips;
    for (const QRectF& o : covering) {
        const QRectF candidates[] = {
            {rect.left(), rect.top(), o.left() - rect.left(), rect.height()},
            {o.right(), rect.top(), rect.right() - o.right(), rect.height()},
            {rect.left(), rect.top(), rect.width(), o.top() - rect.top()},
            {rect.left(), o.bottom(), rect.width(), rect.bottom() - o.bottom()},
        };
        for (const QRectF& strip : candidates) {
            if (strip.width() > 0 && strip.height() > 0) {
                strips.append(strip);
            }
        }
    }
    std::stable_sort(strips.begin(), strips.end(), [](const QRectF& a, const QRectF& b) {
        return a.width() * a.height() > b.width() * b.height();
    });
    for (const QRectF& strip : strips) {
        if (!covered(strip.center())) {
            return strip.center();
        }
    }
    return centre;
}

std::optional<QRectF> bounds(std::uint32_t id) {
    const auto window = platform::clientWindow(id);
    if (!window) {
        return std::nullopt;
    }
    return ScreenGeometry::pixelsToPoints(window->frame, ScreenGeometry::captureDisplays());
}

} // namespace desktop::WindowList
