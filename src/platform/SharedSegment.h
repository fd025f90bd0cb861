#pragma once

#include "platform/ServerPixels.h"

#include <QImage>
#include <QRect>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>

namespace platform {

// A new shared-memory segment of at least `bytes` (in whole mebibytes, so that
// a slightly larger area can reuse it), attached on both sides and marked for
// removal at once: it goes away once both sides let go, even if the program
// dies. `address` is null when none could be had.
struct NewSegment {
    xcb_shm_seg_t id = 0;
    void* address = nullptr;
    std::size_t size = 0;
    bool refusedByServer = false;
};
NewSegment attachNewSegment(xcb_connection_t* connection, std::size_t bytes);

// A shared-memory segment the X server writes pictures into, kept and reused
// while it is large enough.
class SharedSegment {
public:
    SharedSegment() = default;
    // Lets go of our side only: the server detaches when its connection ends.
    ~SharedSegment() { forget(); }
    SharedSegment(const SharedSegment&) = delete;
    SharedSegment& operator=(const SharedSegment&) = delete;

    // A segment of at least `bytes` attached on `connection`; false when
    // none can be had. Once the server has refused one it is not asked again
    // (GetImage takes over for good).
    bool ensure(xcb_connection_t* connection, std::size_t bytes);
    bool refused() const { return refused_; }
    // Lets go of the segment on both sides.
    void detach(xcb_connection_t* connection);
    // Lets go of our side only, for a connection that is gone.
    void forget();

    xcb_shm_seg_t id() const { return id_; }
    const void* address() const { return address_; }
    std::size_t size() const { return size_; }

private:
    xcb_shm_seg_t id_ = 0;
    void* address_ = nullptr;
    std::size_t size_ = 0;
    bool refused_ = false;
};

// The pixels of `rect` of `drawable`: through `segment` when one is given and
// can hold them, else through GetImage. Null when the server gives none.
QImage readServerImage(xcb_connection_t* connection, xcb_drawable_t drawable, const QRect& rect,
                       const PixelLayout& layout, SharedSegment* segment);

} // namespace platform
