#pragma once

#include <QRegion>

#include <cstdint>

namespace platform {

// Whether a compositing manager runs on the X server's screen, i.e. some
// client owns the selection _NET_WM_CM_S<screen number>. Only then do windows
// with an alpha channel blend with what lies below them; without one the
// server shows their transparent pixels as black. Asked afresh on each call
// (one round trip); false without an X server.
bool compositingManagerRunning();

// Sets the bounding shape of one of Qt's own native windows to `pixels`
// (device pixels, relative to the window's top-left corner): only those
// pixels show, and clicks elsewhere reach the window below. Sent on Qt's own
// connection, after the requests that made the window. False, and nothing
// done, when Qt does not run on X11.
bool setWindowShape(std::uint64_t window, const QRegion& pixels);

// Sets the input shape alone: the window shows whole, but only `pixels` take
// clicks; elsewhere they reach the window below. As setWindowShape().
bool setWindowInputShape(std::uint64_t window, const QRegion& pixels);

} // namespace platform
