#include "platform/ScreenGrabber.h"

#include "platform/LentSegment.h"
#include "platform/ServerPixels.h"
#include "platform/SharedSegment.h"
#include "platform/WindowShape.h"
#include "platform/X11Connection.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <xcb/composite.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

template <typename Fn, typename Cookie> auto fetch(xcb_connection_t* c, Fn fn, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    auto* reply = fn(c, cookie, &error);
    std::free(error);
    return reply;
}

} // namespace

struct ScreenGrabber::State {
    X11Connection* x11 = nullptr;
    bool shmPresent = false;
    bool shmEnabled = true;
    bool compositePresent = false;
    bool xfixesPresent = false;
    PixelLayout rootLayout;

    SharedSegment segment;
    // The root's pictures stay where the server wrote them.
    LentSegment rootSegment;
    // Lets go of the segments a while after the last read. Owned by the
    // application, which may go first at exit.
    QPointer<QTimer> releaseTimer;

    ~State() { delete releaseTimer.data(); }

    // Pixels of a drawable through the segment, else through GetImage.
    QImage read(xcb_drawable_t drawable, const QRect& rect, const PixelLayout& layout) {
        QImage image = readServerImage(x11->get(), drawable, rect, layout,
                                       shmPresent && shmEnabled ? &segment : nullptr);
        if (segment.size() > 0) {
            releaseSoon();
        }
        return image;
    }

    // A screen's worth of shared memory (33 MB at 3840 × 2160) stays
    // resident while attached: grabs in quick succession (a selection, a
    // run of shots) share one segment, and the program at rest holds none.
    void releaseSoon() {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            return;
        }
        if (!releaseTimer) {
            releaseTimer = new QTimer(app);
            releaseTimer->setSingleShot(true);
            releaseTimer->setInterval(ScreenGrabber::segmentLifetime);
            QObject::connect(releaseTimer.data(), &QTimer::timeout, releaseTimer.data(), [this] {
                segment.detach(x11->get());
                rootSegment.release(x11->get());
            });
        }
        releaseTimer->start();
    }
};

ScreenGrabber* ScreenGrabber::shared() {
    static std::unique_ptr<ScreenGrabber> grabber;
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr) {
        grabber.reset();
        return nullptr;
    }
    if (grabber && grabber->d->x11 != x11) {
        // The connection was reopened: the old grabber and its segment belong
        // to a dead one.
        grabber.reset();
    }
    if (!grabber) {
        grabber.reset(new ScreenGrabber());
    }
    return grabber.get();
}

ScreenGrabber::ScreenGrabber() : d(std::make_unique<State>()) {
    d->x11 = X11Connection::shared();
    xcb_connection_t* c = d->x11->get();
    const auto present = [c](xcb_extension_t* extension) {
        const xcb_query_extension_reply_t* data = xcb_get_extension_data(c, extension);
        return data != nullptr && data->present;
    };
    if (present(&xcb_shm_id)) {
        auto* version = fetch(c, xcb_shm_query_version_reply, xcb_shm_query_version(c));
        d->shmPresent = version != nullptr;
        std::free(version);
    }
    if (present(&xcb_composite_id)) {
        auto* version =
            fetch(c, xcb_composite_query_version_reply, xcb_composite_query_version(c, 0, 4));
        d->compositePresent = version != nullptr && version->minor_version >= 2;
        std::free(version);
    }
    if (present(&xcb_xfixes_id)) {
        auto* version = fetch(c, xcb_xfixes_query_version_reply, xcb_xfixes_query_version(c, 4, 0));
        d->xfixesPresent = version != nullptr && version->major_version >= 1;
        std::free(version);
    }
    xcb_screen_t* screen = d->x11->screen();
    d->rootLayout =
        serverPixelLayout(d->x11->get(), d->x11->screen(), screen->root_depth, screen->root_visual);
}

// At exit the connection may already be closed; the server lets go of the
// segment when the connection ends, and it was marked for removal at birth.
ScreenGrabber::~ScreenGrabber() = default;

QSize ScreenGrabber::rootSize() const {
    const xcb_screen_t* screen = d->x11->screen();
    return {screen->width_in_pixels, screen->height_in_pixels};
}

QImage ScreenGrabber::grabRoot(const QRect& rect) {
    const QRect area = rect.intersected(QRect(QPoint(0, 0), rootSize()));
    if (area.isEmpty()) {
        return {};
    }
    if (d->shmPresent && d->shmEnabled && !d->rootSegment.refused()) {
        QImage image = d->rootSegment.read(d->x11->get(), d->x11->root(), area, d->rootLayout);
        if (!image.isNull()) {
            d->releaseSoon();
            return image;
        }
    }
    return d->read(d->x11->root(), area, d->rootLayout);
}

bool ScreenGrabber::compositorRunning() {
    return compositingManagerRunning();
}

std::optional<QImage> ScreenGrabber::grabRedirectedWindow(std::uint32_t topLevel,
                                                          const QRect& rect) {
    if (!d->compositePresent) {
        return std::nullopt;
    }
    xcb_connection_t* c = d->x11->get();
    auto* attributes =
        fetch(c, xcb_get_window_attributes_reply, xcb_get_window_attributes(c, topLevel));
    auto* geometry = fetch(c, xcb_get_geometry_reply, xcb_get_geometry(c, topLevel));
    std::optional<QImage> result;
    if (attributes != nullptr && geometry != nullptr &&
        attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_composite_name_window_pixmap_checked(c, topLevel, pixmap));
        if (error == nullptr) {
            const int border = geometry->border_width;
            // The pixmap starts at the window's outer (border) corner, which
            // for a child of the root is its position on the root.
            const QRect whole(geometry->x, geometry->y, geometry->width + 2 * border,
                              geometry->height + 2 * border);
            const QRect area = rect.intersected(whole).translated(-whole.topLeft());
            if (!area.isEmpty()) {
                QImage image = d->read(pixmap, area,
                                       serverPixelLayout(d->x11->get(), d->x11->screen(),
                                                         geometry->depth, attributes->visual));
                if (!image.isNull()) {
                    result = std::move(image);
                }
            }
            xcb_free_pixmap(c, pixmap);
            xcb_flush(c);
        }
        std::free(error);
    }
    std::free(attributes);
    std::free(geometry);
    return result;
}

std::optional<ScreenGrabber::Cursor> ScreenGrabber::cursor() {
    if (!d->xfixesPresent) {
        return std::nullopt;
    }
    xcb_connection_t* c = d->x11->get();
    auto* reply = fetch(c, xcb_xfixes_get_cursor_image_reply, xcb_xfixes_get_cursor_image(c));
    if (reply == nullptr) {
        return std::nullopt;
    }
    std::optional<Cursor> cursor;
    const int w = reply->width;
    const int h = reply->height;
    const int count = xcb_xfixes_get_cursor_image_cursor_image_length(reply);
    if (w > 0 && h > 0 && count >= w * h) {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        std::memcpy(image.bits(), xcb_xfixes_get_cursor_image_cursor_image(reply),
                    static_cast<std::size_t>(w) * h * 4);
        cursor = Cursor{image, QPoint(reply->x - reply->xhot, reply->y - reply->yhot)};
    }
    std::free(reply);
    return cursor;
}

void ScreenGrabber::setSharedMemoryEnabled(bool enabled) {
    d->shmEnabled = enabled;
}

std::size_t ScreenGrabber::segmentBytes() const {
    return d->segment.size() + d->rootSegment.size();
}

bool ScreenGrabber::sharedMemoryEnabled() const {
    return d->shmEnabled && d->shmPresent && !d->segment.refused() && !d->rootSegment.refused();
}

} // namespace platform
