#include "platform/LentSegment.h"

#include "platform/ParallelFor.h"
#include "platform/SharedSegment.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdlib>

namespace platform {

struct LentSegment::Block {
    void* address = nullptr;
    std::size_t size = 0;
    // Our side only: the server's attachment goes with release(), and the
    // segment was marked for removal at birth, so it is gone once both are.
    ~Block() { shmdt(address); }
};

namespace {

bool commonLayout(const PixelLayout& layout) {
    return layout.bitsPerPixel == 32 && layout.red == 0xff0000 && layout.green == 0xff00 &&
           layout.blue == 0xff;
}

// The server's pixels made Qt's, where they lie: bytes in our order and, for
// an opaque visual, the unused top byte (undefined on the wire) set.
void makeQtPixels(std::uint32_t* pixels, std::size_t count, bool msbFirst, bool opaque) {
    const std::uint32_t alpha = opaque ? 0xff000000u : 0u;
    if (msbFirst) {
        for (std::size_t i = 0; i < count; ++i) {
            pixels[i] = __builtin_bswap32(pixels[i]) | alpha;
        }
    } else if (opaque) {
        for (std::size_t i = 0; i < count; ++i) {
            pixels[i] |= alpha;
        }
    }
}

// Over a few threads: the first touch of each page of a new segment is a page
// fault, which costs more than the pass itself.
void makeQtPicture(std::uint32_t* pixels, int width, int height, bool msbFirst, bool opaque) {
    if (!msbFirst && !opaque) {
        return;
    }
    constexpr int kRowsAtLeast = 64;
    constexpr unsigned kThreadsAtMost = 4;
    parallelFor(height,
                [=](int begin, int end) {
                    makeQtPixels(pixels + static_cast<std::size_t>(begin) * width,
                                 static_cast<std::size_t>(end - begin) * width, msbFirst, opaque);
                },
                {kRowsAtLeast, kThreadsAtMost});
}

void dropHold(void* hold) {
    delete static_cast<std::shared_ptr<void>*>(hold);
}

} // namespace

LentSegment::LentSegment() = default;

// At exit the connection may be gone: the server lets go of the segment when
// its connection ends.
LentSegment::~LentSegment() = default;

std::size_t LentSegment::size() const {
    return block_ ? block_->size : 0;
}

void LentSegment::release(xcb_connection_t* connection) {
    if (block_ && xcb_connection_has_error(connection) == 0) {
        xcb_shm_detach(connection, serverId_);
        xcb_flush(connection);
    }
    block_.reset();
}

bool LentSegment::attach(xcb_connection_t* connection, std::size_t bytes) {
    const NewSegment made = attachNewSegment(connection, bytes);
    if (made.address == nullptr) {
        refused_ = made.refusedByServer;
        return false;
    }
    block_ = std::make_shared<Block>();
    block_->address = made.address;
    block_->size = made.size;
    serverId_ = made.id;
    return true;
}

QImage LentSegment::read(xcb_connection_t* c, xcb_drawable_t drawable, const QRect& rect,
                         const PixelLayout& layout) {
    if (refused_ || !commonLayout(layout) || rect.isEmpty()) {
        return {};
    }
    const int w = rect.width();
    const int h = rect.height();
    const std::size_t bytes = static_cast<std::size_t>(w) * h * 4;
    // A segment that a picture still holds, or too small, is left to its
    // pictures.
    if (block_ && (block_.use_count() > 1 || block_->size < bytes)) {
        release(c);
    }
    if (!block_ && !attach(c, bytes)) {
        return {};
    }
    xcb_generic_error_t* error = nullptr;
    auto* reply = xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, drawable, static_cast<std::int16_t>(rect.x()),
                          static_cast<std::int16_t>(rect.y()), static_cast<std::uint16_t>(w),
                          static_cast<std::uint16_t>(h), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, serverId_,
                          0),
        &error);
    std::free(error);
    if (reply == nullptr) {
        return {};
    }
    const bool complete = reply->size >= bytes;
    std::free(reply);
    if (!complete) {
        return {};
    }
    const bool msbFirst = xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    const bool opaque = layout.depth != 32;
    auto* pixels = static_cast<std::uint32_t*>(block_->address);
    makeQtPicture(pixels, w, h, msbFirst, opaque);
    auto* hold = new std::shared_ptr<void>(block_);
    QImage image(reinterpret_cast<uchar*>(pixels), w, h, static_cast<qsizetype>(w) * 4,
                 opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied, &dropHold,
                 hold);
    if (image.isNull()) {
        dropHold(hold);
    }
    return image;
}

} // namespace platform
