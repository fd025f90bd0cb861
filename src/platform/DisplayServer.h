#pragma once

#include <QString>

namespace platform {

// Which window system the program would run on. Capture needs an X server:
// Wayland alone (no XWayland reachable) is not supported.
enum class DisplayServer { X11, WaylandOnly, None };

// Tries to reach the X server named by DISPLAY; does not keep the connection.
DisplayServer detectDisplayServer();

// A sentence for the user that says why the program cannot run here, or an
// empty string for X11.
QString displayServerProblem(DisplayServer server);

} // namespace platform
