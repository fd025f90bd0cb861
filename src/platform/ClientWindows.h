#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// One top-level client window as the window manager announces it (EWMH).
struct ClientWindow {
    std::uint32_t id = 0; // the client window, as listed in _NET_CLIENT_LIST_STACKING
    // The window's ancestor that is a child of the root: the manager's frame
    // around a reparented client, or the client itself.
    std::uint32_t topLevel = 0;
    // Client area plus _NET_FRAME_EXTENTS, in root-window pixels.
    QRect frame;
    std::optional<std::int32_t> pid; // _NET_WM_PID
    QString title;                   // _NET_WM_NAME, else WM_NAME
    QString className;               // the class half of WM_CLASS
    QString instanceName;            // the instance (resource name) half of WM_CLASS
    QStringList types;               // _NET_WM_WINDOW_TYPE atom names, in preference order
    QStringList states;              // _NET_WM_STATE atom names
    std::optional<double> opacity;   // _NET_WM_WINDOW_OPACITY as 0…1
    bool viewable = false;           // mapped, and every ancestor mapped
};

// The largest frame edge believed: title bars and borders are tens of pixels,
// a few hundred at the most on a dense display.
inline constexpr std::uint32_t maxFrameExtent = 400;

// The client area grown by _NET_FRAME_EXTENTS (left, right, top, bottom).
// The extents are another program's word, so they are ignored, and the
// client area alone is the frame, when they are not four, when one is above
// maxFrameExtent, or when one is larger than the window along its side.
QRect frameAroundClient(const QRect& client, const std::vector<std::uint32_t>& extents);

// The managed windows, front to back (_NET_CLIENT_LIST_STACKING reversed;
// _NET_CLIENT_LIST when the manager gives no stacking order). Windows that
// vanish while being read are left out. Empty without an X server or manager.
QList<ClientWindow> clientWindowsFrontToBack();

// The managed windows in the order the manager first mapped them
// (_NET_CLIENT_LIST): the order in which their programs showed up. Windows
// that vanish while being read are left out. Empty without an X server or
// manager.
QList<ClientWindow> clientWindowsInMappingOrder();

// The managed windows' ids alone, front to back, read in one round trip: what
// a question of "which of these is in front" needs. Empty without an X server
// or manager.
std::vector<std::uint32_t> clientStackingOrder();

// One window read afresh by its id, whatever it is; nothing when it no longer
// exists.
std::optional<ClientWindow> clientWindow(std::uint32_t id);

} // namespace platform
