#pragma once

#include <QRectF>
#include <QString>

#include <cstdint>

namespace desktop {

// One on-screen window the user may pick.
struct WindowInfo {
    std::uint32_t id = 0; // the client window's X id
    // The window with its manager's frame, in global points.
    QRectF frame;
    std::int32_t ownerPID = 0; // _NET_WM_PID; 0 when the window does not say
    // The application's name from its .desktop file, else the class of
    // WM_CLASS; empty when the window has neither.
    QString ownerName;
    QString title;

    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

} // namespace desktop
