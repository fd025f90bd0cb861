#include "platform/RegionGrabber.h"

#include "platform/ServerPixels.h"
#include "platform/SharedSegment.h"
#include "platform/X11Connection.h"

#include <xcb/shm.h>

#include <cstdlib>

namespace platform {

struct RegionGrabber::State {
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
    PixelLayout layout;
    bool shm = false;
    SharedSegment segment;

    ~State() {
        if (connection != nullptr) {
            segment.detach(connection);
            xcb_disconnect(connection);
        }
    }
};

std::unique_ptr<RegionGrabber> RegionGrabber::open() {
    const std::optional<PrivateConnection> opened = openPrivateConnection();
    if (!opened) {
        return nullptr;
    }
    xcb_connection_t* connection = opened->connection;
    std::unique_ptr<RegionGrabber> grabber(new RegionGrabber());
    State& s = *grabber->d;
    s.connection = connection;
    s.screen = opened->screen;
    s.layout = serverPixelLayout(connection, s.screen, s.screen->root_depth, s.screen->root_visual);
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
    return d->shm && !d->segment.refused();
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
    return readServerImage(c, d->screen->root, rect, d->layout, d->shm ? &d->segment : nullptr);
}

} // namespace platform
