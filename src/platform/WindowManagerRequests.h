#pragma once

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

} // namespace platform
