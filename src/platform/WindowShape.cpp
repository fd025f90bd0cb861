#include "platform/WindowShape.h"

#include "platform/X11Connection.h"

#include <QGuiApplication>

#include <xcb/shape.h>

#include <cstdlib>
#include <vector>

namespace platform {

bool compositingManagerRunning() {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr) {
        return false;
    }
    xcb_connection_t* c = x11->get();
    int number = 0;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (; it.rem > 0 && it.data->root != x11->root(); xcb_screen_next(&it)) {
        ++number;
    }
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(number);
    const xcb_atom_t selection = x11->atom(name.constData());
    if (selection == XCB_ATOM_NONE) {
        return false;
    }
    xcb_generic_error_t* error = nullptr;
    auto* reply = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), &error);
    std::free(error);
    const bool owned = reply != nullptr && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

namespace {

bool setShape(std::uint64_t window, const QRegion& pixels, xcb_shape_kind_t kind) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (c == nullptr || window == 0) {
        return false;
    }
    std::vector<xcb_rectangle_t> rectangles;
    rectangles.reserve(static_cast<std::size_t>(pixels.rectCount()));
    for (const QRect& rect : pixels) {
        rectangles.push_back(
            {static_cast<std::int16_t>(rect.x()), static_cast<std::int16_t>(rect.y()),
             static_cast<std::uint16_t>(rect.width()), static_cast<std::uint16_t>(rect.height())});
    }
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED,
                         static_cast<xcb_window_t>(window), 0, 0,
                         static_cast<std::uint32_t>(rectangles.size()), rectangles.data());
    xcb_flush(c);
    return true;
}

} // namespace

bool setWindowShape(std::uint64_t window, const QRegion& pixels) {
    return setShape(window, pixels, XCB_SHAPE_SK_BOUNDING);
}

bool setWindowInputShape(std::uint64_t window, const QRegion& pixels) {
    return setShape(window, pixels, XCB_SHAPE_SK_INPUT);
}

} // namespace platform
