#pragma once

#include <cstdint>
#include <optional>

class QWindow;

namespace platform {

// De-iconifies, raises and focuses one of our top-level windows by asking the
// window manager the way a task bar does (_NET_ACTIVE_WINDOW from a pager).
// Window managers grant that even when the user's last input went to another
// program, as it did when the user started us again from a terminal; Qt's own
// activation counts as the application's and may be refused. False when the
// window is no X window (another Qt platform) or no X server could be asked:
// the caller then falls back on Qt.
bool requestWindowActivation(QWindow* window);

// The same request for any managed window, ours or another program's, by its
// X id. False when no X server could be asked or the id is 0.
bool requestWindowActivation(std::uint32_t window);

// The window the manager says has the focus (_NET_ACTIVE_WINDOW); nothing
// without an X server, a manager that says so, or a focused window.
std::optional<std::uint32_t> activeWindow();

} // namespace platform
