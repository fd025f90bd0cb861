#pragma once

#include <QPoint>

#include <cstdint>

namespace platform {

// Moves one of Qt's own mapped top-level windows to `pixels` (device pixels,
// root coordinates) on Qt's connection, for animations that move a window
// every frame. Qt answers each server notice of a move of a top-level window
// with several blocking round trips (where the window is, its frame, its
// parents), which on a slide cost more than everything else the frame does;
// the notices of these moves are kept from Qt instead. Qt's idea of the
// window's place then lags behind: the caller moves the window through Qt
// once the animation ends. False, and nothing done, when Qt does not run on
// X11. Main thread only.
bool moveWindowQuietly(std::uint64_t window, QPoint pixels);

} // namespace platform
