#include "platform/RegionGrabber.h"

#include "platform/ServerPixels.h"

#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>

namespace platform {

struct RegionGrabber::State {
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
    PixelLayout layout;
    bool msbFirst = false;
    bool shm = false;
    xcb_shm_seg_t segment = 0;
    void* address = nullptr;
    std::size_t size = 0;

    ~State() {
        if (address != nullptr) {
            if (xcb_connection_has_error(connection) == 0) {
                xcb_shm_detach(connection, segment);
                xcb_flush(connection);
            }
            shmdt(address);
        }
        if (connection != nullptr) {
            xcb_disconnect(connection);
        }
    }

    bool ensureSegment(std::size_t bytes) {
        if (address != nullptr && size >= bytes) {
            return true;
        }
        if (address != nullptr) {
            xcb_shm_detach(connection, segment);
            shmdt(address);
            address = nullptr;
            size = 0;
        }
        const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (id < 0) {
            return false;
        }
        void* attached = shmat(id, nullptr, 0);
        if (attached == reinterpret_cast<void*>(-1)) {
            shmctl(id, IPC_RMID, nullptr);
            return false;
        }
        const xcb_shm_seg_t seg = xcb_generate_id(connection);
        xcb_generic_error_t* error = xcb_request_check(
            connection, xcb_shm_attach_checked(connection, seg, static_cast<std::uint32_t>(id), 0));
        // Gone once both sides detach, even if the program dies.
        shmctl(id, IPC_RMID, nullptr);
        if (error != nullptr) {
            std::free(error);
            shmdt(attached);
            return false;
        }
        segment = seg;
        address = attached;
        size = bytes;
        return true;
    }
};

std::unique_ptr<RegionGrabber> RegionGrabber::open() {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        if (connection != nullptr) {
            xcb_disconnect(connection);
        }
        return nullptr;
    }
    std::unique_ptr<RegionGrabber> grabber(new RegionGrabber());
    State& s = *grabber->d;
    s.connection = connection;
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    s.screen = it.data;
    if (s.screen == nullptr) {
        return nullptr;
    }
    s.layout = serverPixelLayout(connection, s.screen, s.screen->root_depth, s.screen->root_visual);
    s.msbFirst = xcb_get_setup(connection)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
    if (shm != nullptr && shm->present) {
        xcb_generic_error_t* error = nullptr;
        auto* version =
            xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), &error);
        s.shm = version != nullptr;
        std::free(version);
        std::free(error);
    }
    return grabber;
}

RegionGrabber::RegionGrabber() : d(std::make_unique<State>()) {}

RegionGrabber::~RegionGrabber() = default;

bool RegionGrabber::isBroken() const {
    return xcb_connection_has_error(d->connection) != 0;
}

bool RegionGrabber::usesSharedMemory() const {
    return d->shm;
}

QImage RegionGrabber::grab(const QRect& rect) {
    if (rect.isEmpty() || isBroken()) {
        return {};
    }
    xcb_connection_t* c = d->connection;
    // The root may have changed size since the last frame (RandR): only an
    // area wholly on it makes a frame.
    xcb_generic_error_t* error = nullptr;
    auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, d->screen->root), &error);
    std::free(error);
    if (geometry == nullptr) {
        return {};
    }
    const QRect root(0, 0, geometry->width, geometry->height);
    std::free(geometry);
    if (!root.contains(rect)) {
        return {};
    }
    const auto x = static_cast<std::int16_t>(rect.x());
    const auto y = static_cast<std::int16_t>(rect.y());
    const auto w = static_cast<std::uint16_t>(rect.width());
    const auto h = static_cast<std::uint16_t>(rect.height());
    const std::size_t bytes = static_cast<std::size_t>(w) * h * 4;
    if (d->shm && d->ensureSegment(bytes)) {
        error = nullptr;
        auto* reply =
            xcb_shm_get_image_reply(c,
                                    xcb_shm_get_image(c, d->screen->root, x, y, w, h, ~0u,
                                                      XCB_IMAGE_FORMAT_Z_PIXMAP, d->segment, 0),
                                    &error);
        std::free(error);
        if (reply == nullptr) {
            return {};
        }
        const std::size_t length = reply->size;
        std::free(reply);
        return convertServerPixels(static_cast<const std::uint8_t*>(d->address),
                                   std::min(length, d->size), w, h, d->layout, d->msbFirst);
    }
    error = nullptr;
    auto* reply = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, d->screen->root, x, y, w, h, ~0u), &error);
    std::free(error);
    if (reply == nullptr) {
        return {};
    }
    QImage image = convertServerPixels(xcb_get_image_data(reply),
                                       static_cast<std::size_t>(xcb_get_image_data_length(reply)),
                                       w, h, d->layout, d->msbFirst);
    std::free(reply);
    return image;
}

} // namespace platform
