#pragma once

#include <QSize>

#include <cstdint>

namespace platform {

// Hints to the window manager about one of Qt's own native windows that Qt
// has no call for. Sent on Qt's own connection, after the requests that made
// and sized the window. False, and nothing done, when Qt does not run on X11.

// Asks that resizing by the edges keep width : height at `ratio` (the aspect
// fields of WM_NORMAL_HINTS, minimum and maximum alike) and stop at
// `minimum` device pixels. Qt writes the whole property again whenever it
// moves or resizes the window itself, dropping both, so callers set them
// again after each such change. The minimum binds the user's resizing only:
// the program may still make the window smaller.
bool setResizeHints(std::uint64_t window, QSize ratio, QSize minimum);

// Puts a mapped window on every virtual desktop: _NET_WM_DESKTOP 0xFFFFFFFF
// and the sticky state, asked of the window manager the way EWMH says.
bool showOnAllDesktops(std::uint64_t window);

} // namespace platform
