#include "platform/SharedSegment.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace platform {

NewSegment attachNewSegment(xcb_connection_t* connection, std::size_t bytes) {
    NewSegment made;
    const std::size_t rounded = (bytes + (1u << 20) - 1) & ~((std::size_t{1} << 20) - 1);
    const int shmId = shmget(IPC_PRIVATE, rounded, IPC_CREAT | 0600);
    if (shmId < 0) {
        return made;
    }
    void* attached = shmat(shmId, nullptr, 0);
    if (attached == reinterpret_cast<void*>(-1)) {
        shmctl(shmId, IPC_RMID, nullptr);
        return made;
    }
    const xcb_shm_seg_t seg = xcb_generate_id(connection);
    xcb_generic_error_t* error = xcb_request_check(
        connection, xcb_shm_attach_checked(connection, seg, static_cast<std::uint32_t>(shmId), 0));
    shmctl(shmId, IPC_RMID, nullptr);
    if (error != nullptr) {
        std::free(error);
        shmdt(attached);
        made.refusedByServer = true;
        return made;
    }
    made.id = seg;
    made.address = attached;
    made.size = rounded;
    return made;
}

bool SharedSegment::ensure(xcb_connection_t* connection, std::size_t bytes) {
    if (refused_) {
        return false;
    }
    if (address_ != nullptr && size_ >= bytes) {
        return true;
    }
    detach(connection);
    const NewSegment made = attachNewSegment(connection, bytes);
    if (made.address == nullptr) {
        refused_ = made.refusedByServer;
        return false;
    }
    id_ = made.id;
    address_ = made.address;
    size_ = made.size;
    return true;
}

void SharedSegment::detach(xcb_connection_t* connection) {
    if (address_ != nullptr && xcb_connection_has_error(connection) == 0) {
        xcb_shm_detach(connection, id_);
        xcb_flush(connection);
    }
    forget();
}

void SharedSegment::forget() {
    if (address_ != nullptr) {
        shmdt(address_);
    }
    address_ = nullptr;
    size_ = 0;
    id_ = 0;
}

QImage readServerImage(xcb_connection_t* c, xcb_drawable_t drawable, const QRect& rect,
                       const PixelLayout& layout, SharedSegment* segment) {
    const bool msbFirst = xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    const auto x = static_cast<std::int16_t>(rect.x());
    const auto y = static_cast<std::int16_t>(rect.y());
    const auto w = static_cast<std::uint16_t>(rect.width());
    const auto h = static_cast<std::uint16_t>(rect.height());
    const std::size_t bytes = static_cast<std::size_t>(w) * h * 4;
    xcb_generic_error_t* error = nullptr;
    if (segment != nullptr && segment->ensure(c, bytes)) {
        auto* reply =
            xcb_shm_get_image_reply(c,
                                    xcb_shm_get_image(c, drawable, x, y, w, h, ~0u,
                                                      XCB_IMAGE_FORMAT_Z_PIXMAP, segment->id(), 0),
                                    &error);
        std::free(error);
        if (reply == nullptr) {
            return {};
        }
        const std::size_t length = reply->size;
        std::free(reply);
        return convertServerPixels(static_cast<const std::uint8_t*>(segment->address()),
                                   std::min(length, segment->size()), w, h, layout, msbFirst);
    }
    auto* reply = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, x, y, w, h, ~0u), &error);
    std::free(error);
    if (reply == nullptr) {
        return {};
    }
    QImage image = convertServerPixels(xcb_get_image_data(reply),
                                       static_cast<std::size_t>(xcb_get_image_data_length(reply)),
                                       w, h, layout, msbFirst);
    std::free(reply);
    return image;
}

} // namespace platform
