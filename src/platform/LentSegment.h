#pragma once

#include "platform/ServerPixels.h"

#include <QImage>
#include <QRect>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <memory>

namespace platform {

// Reads of the screen whose pictures stay in the shared-memory segment the X
// server wrote them into, instead of being copied out: a screen's worth of
// fresh memory costs more in page faults than the copy itself. A segment that
// a picture still holds is never written again; the next read takes another
// one, and the held one is let go when its last picture goes (on any thread).
// Main thread only, like the connection it reads through.
class LentSegment {
public:
    LentSegment();
    ~LentSegment();
    LentSegment(const LentSegment&) = delete;
    LentSegment& operator=(const LentSegment&) = delete;

    // The pixels of `rect` of `drawable` as RGB32 (ARGB32 premultiplied at
    // depth 32), living in the segment; null when the layout is not the
    // common 32-bit one, when no segment can be had or the server refuses
    // (then the caller reads another way).
    QImage read(xcb_connection_t* connection, xcb_drawable_t drawable, const QRect& rect,
                const PixelLayout& layout);

    // Lets go of our hold on the segment (pictures keep theirs).
    void release(xcb_connection_t* connection);
    // Once the server has refused a segment it is not asked again.
    bool refused() const { return refused_; }
    // The size of the segment held for the next read; 0 when none is.
    std::size_t size() const;

private:
    struct Block;
    bool attach(xcb_connection_t* connection, std::size_t bytes);

    std::shared_ptr<Block> block_;
    xcb_shm_seg_t serverId_ = 0;
    bool refused_ = false;
};

} // namespace platform
