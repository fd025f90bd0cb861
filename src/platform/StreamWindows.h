#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace platform {

// What identifies the owner of one window on the root: read from the client
// window the manager framed (or the window itself when it is not framed).
struct StreamWindow {
    std::uint32_t topLevel = 0; // the child of the root
    std::uint32_t client = 0;   // the window that carries WM_CLASS; may equal topLevel
    QString appClass;           // the class half of WM_CLASS, as is
    QStringList types;          // _NET_WM_WINDOW_TYPE atom names
    std::optional<std::int32_t> pid;
};

// The application id that stands for notification banners: any window of the
// type _NET_WM_WINDOW_TYPE_NOTIFICATION counts as this application, whoever
// shows it.
QString notificationAppId();

// Which windows a recording of a display or an area leaves out.
struct WindowsLeftOut {
    // Application ids (WM_CLASS classes, or notificationAppId()) left out.
    QSet<QString> appIds;
    // This process: its windows are left out except those in `ownKept`.
    std::int32_t ownPid = 0;
    QSet<std::uint32_t> ownKept;

    bool leavesOut(const StreamWindow& window) const;
    friend bool operator==(const WindowsLeftOut&, const WindowsLeftOut&) = default;
};

// Which windows a recording of one window shows: that window and the listed
// ones of ours, nothing else.
struct WindowsShown {
    std::uint32_t window = 0;
    QSet<std::uint32_t> alongside;

    bool shows(const StreamWindow& window) const;
    friend bool operator==(const WindowsShown&, const WindowsShown&) = default;
};

} // namespace platform
