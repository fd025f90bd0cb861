#pragma once

#include <cstdint>

namespace platform {

// Requests to the window manager about one of our top-level windows, sent the
// way a task bar sends them. Each returns false when no X server could be
// asked (the caller then falls back on Qt).

// De-iconify, raise and focus the window: a _NET_ACTIVE_WINDOW request from a
// pager, which window managers grant even when the last user input went to
// another program (as it did when the user started us again from a terminal).
bool requestWindowActivation(std::uint32_t window);

// Iconify the window (WM_CHANGE_STATE to IconicState). Unlike Qt's own
// minimise, Qt then learns the state from the window manager alone and does
// not iconify the window again when the window manager brings it back.
bool requestWindowIconify(std::uint32_t window);

} // namespace platform
