#pragma once

namespace platform {

// Whether the program's own X connection can be opened (or is open and
// healthy). The rest of the program asks this instead of holding xcb types.
bool x11ServerReachable();

// Waits until the X server has handled every request Qt's own connection has
// sent (a map or unmap of one of our windows, say). Does nothing on another Qt
// platform.
void syncQtWindowSystem();

} // namespace platform
