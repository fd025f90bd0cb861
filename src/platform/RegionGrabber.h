#pragma once

#include <QImage>
#include <QRect>

#include <memory>

namespace platform {

// Reads one fixed area of the root window over and over, as a stream of
// frames: a connection to the X server and a shared-memory segment of its
// own, so it may live on a worker thread beside the main thread's
// ScreenGrabber. Used only on the thread that opened it.
//
// A frame is whole or nothing: MIT-SHM answers once the server has written
// the entire area into the segment, and an area that no longer lies wholly on
// the root window (a display got smaller or went away) gives no frame.
class RegionGrabber {
public:
    // Null when no X server can be reached.
    static std::unique_ptr<RegionGrabber> open();
    ~RegionGrabber();
    RegionGrabber(const RegionGrabber&) = delete;
    RegionGrabber& operator=(const RegionGrabber&) = delete;

    // The pixels of `rect` (root-window pixels) as RGB32; null when any part
    // of it is off the root window or the server refuses.
    QImage grab(const QRect& rect);

    // The connection broke (the server went away): no grab will succeed.
    bool isBroken() const;
    bool usesSharedMemory() const;

private:
    RegionGrabber();
    struct State;
    std::unique_ptr<State> d;
};

} // namespace platform
