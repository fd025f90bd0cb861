#include "platform/ClientWindows.h"

#include "platform/X11Connection.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// The requests for one window, all sent before any reply is awaited so that a
// whole list costs one round trip.
struct Pending {
    xcb_window_t window = 0;
    xcb_get_window_attributes_cookie_t attributes{};
    xcb_get_geometry_cookie_t geometry{};
    xcb_translate_coordinates_cookie_t origin{};
    xcb_query_tree_cookie_t tree{};
    xcb_get_property_cookie_t extents{}, netName{}, name{}, pid{}, wmClass{}, types{}, states{},
        opacity{};
};

struct Atoms {
    xcb_atom_t extents, netName, utf8, pid, types, states, opacity;
    explicit Atoms(X11Connection& x11)
        : extents(x11.atom("_NET_FRAME_EXTENTS"))
        , netName(x11.atom("_NET_WM_NAME"))
        , utf8(x11.atom("UTF8_STRING"))
        , pid(x11.atom("_NET_WM_PID"))
        , types(x11.atom("_NET_WM_WINDOW_TYPE"))
        , states(x11.atom("_NET_WM_STATE"))
        , opacity(x11.atom("_NET_WM_WINDOW_OPACITY")) {}
};

xcb_get_property_cookie_t ask(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                              std::uint32_t words = 1024) {
    return xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, words);
}

Pending send(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms, xcb_window_t window) {
    Pending p;
    p.window = window;
    p.attributes = xcb_get_window_attributes(c, window);
    p.geometry = xcb_get_geometry(c, window);
    p.origin = xcb_translate_coordinates(c, window, root, 0, 0);
    p.tree = xcb_query_tree(c, window);
    p.extents = ask(c, window, atoms.extents, 4);
    p.netName = ask(c, window, atoms.netName);
    p.name = ask(c, window, XCB_ATOM_WM_NAME);
    p.pid = ask(c, window, atoms.pid, 1);
    p.wmClass = ask(c, window, XCB_ATOM_WM_CLASS);
    p.types = ask(c, window, atoms.types, 32);
    p.states = ask(c, window, atoms.states, 32);
    p.opacity = ask(c, window, atoms.opacity, 1);
    return p;
}

struct Reply {
    xcb_get_property_reply_t* reply;
    explicit Reply(xcb_get_property_reply_t* r) : reply(r) {}
    ~Reply() { std::free(reply); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    bool ok() const { return reply != nullptr && reply->type != XCB_ATOM_NONE; }
    int length() const { return ok() ? xcb_get_property_value_length(reply) : 0; }
    const char* bytes() const { return static_cast<const char*>(xcb_get_property_value(reply)); }
    std::vector<std::uint32_t> words() const {
        std::vector<std::uint32_t> out;
        if (ok() && reply->format == 32) {
            out.resize(static_cast<std::size_t>(length()) / 4);
            if (!out.empty()) {
                std::memcpy(out.data(), bytes(), out.size() * 4);
            }
        }
        return out;
    }
};

// Errors of a vanished window come back here instead of piling up in the
// event queue of a connection that reads no events.
template <typename Fn, typename Cookie> auto fetch(xcb_connection_t* c, Fn fn, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    auto* reply = fn(c, cookie, &error);
    std::free(error);
    return reply;
}

Reply take(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    return Reply(fetch(c, xcb_get_property_reply, cookie));
}

QStringList atomNames(X11Connection& x11, const std::vector<std::uint32_t>& atoms) {
    QStringList names;
    for (std::uint32_t atom : atoms) {
        names.append(x11.atomName(atom));
    }
    return names;
}

std::optional<ClientWindow> receive(X11Connection& x11, const Atoms& atoms, const Pending& p) {
    xcb_connection_t* c = x11.get();
    auto* attributes = fetch(c, xcb_get_window_attributes_reply, p.attributes);
    auto* geometry = fetch(c, xcb_get_geometry_reply, p.geometry);
    auto* origin = fetch(c, xcb_translate_coordinates_reply, p.origin);
    auto* tree = fetch(c, xcb_query_tree_reply, p.tree);
    Reply extents = take(c, p.extents), netName = take(c, p.netName), name = take(c, p.name),
          pid = take(c, p.pid), wmClass = take(c, p.wmClass), types = take(c, p.types),
          states = take(c, p.states), opacity = take(c, p.opacity);

    std::optional<ClientWindow> result;
    if (attributes != nullptr && geometry != nullptr && origin != nullptr && tree != nullptr) {
        ClientWindow w;
        w.id = p.window;
        w.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        w.frame = frameAroundClient(
            QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height),
            extents.words());
        if (netName.ok() && netName.reply->type == atoms.utf8) {
            w.title = QString::fromUtf8(netName.bytes(), netName.length());
        } else if (name.ok()) {
            // WM_NAME is STRING (Latin-1) or, rarely, COMPOUND_TEXT; read the
            // latter as UTF-8, which is right for its ASCII part.
            w.title = name.reply->type == XCB_ATOM_STRING
                          ? QString::fromLatin1(name.bytes(), name.length())
                          : QString::fromUtf8(name.bytes(), name.length());
        }
        if (const auto words = pid.words(); !words.empty()) {
            w.pid = static_cast<std::int32_t>(words[0]);
        }
        if (wmClass.ok()) {
            // "instance\0class\0"
            const QByteArray both(wmClass.bytes(), wmClass.length());
            const QList<QByteArray> parts = both.split('\0');
            w.instanceName = QString::fromLocal8Bit(parts.value(0));
            w.className = QString::fromLocal8Bit(parts.size() > 1 ? parts[1] : parts.value(0));
        }
        w.types = atomNames(x11, types.words());
        w.states = atomNames(x11, states.words());
        if (const auto words = opacity.words(); !words.empty()) {
            w.opacity = static_cast<double>(words[0]) / 4294967295.0;
        }
        // Climb to the child of the root: the manager's frame when reparented.
        xcb_window_t child = p.window;
        xcb_window_t parent = tree->parent;
        const xcb_window_t root = tree->root;
        while (parent != root && parent != XCB_WINDOW_NONE) {
            auto* up = fetch(c, xcb_query_tree_reply, xcb_query_tree(c, parent));
            if (up == nullptr) {
                break;
            }
            child = parent;
            parent = up->parent;
            std::free(up);
        }
        w.topLevel = child;
        result = w;
    }
    std::free(attributes);
    std::free(geometry);
    std::free(origin);
    std::free(tree);
    return result;
}

} // namespace

QRect frameAroundClient(const QRect& client, const std::vector<std::uint32_t>& extents) {
    if (extents.size() != 4) {
        return client;
    }
    const std::uint32_t left = extents[0], right = extents[1], top = extents[2],
                        bottom = extents[3];
    const auto width = static_cast<std::uint32_t>(std::max(client.width(), 0));
    const auto height = static_cast<std::uint32_t>(std::max(client.height(), 0));
    const bool believable = std::max({left, right, top, bottom}) <= maxFrameExtent &&
                            std::max(left, right) <= width && std::max(top, bottom) <= height;
    if (!believable) {
        return client;
    }
    return client.adjusted(-static_cast<int>(left), -static_cast<int>(top), static_cast<int>(right),
                           static_cast<int>(bottom));
}

std::vector<std::uint32_t> clientStackingOrder() {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr) {
        return {};
    }
    auto list = x11->property(x11->root(), x11->atom("_NET_CLIENT_LIST_STACKING"));
    if (!list) {
        return {};
    }
    std::vector<std::uint32_t> ids = list->words();
    // The property runs bottom to top.
    std::reverse(ids.begin(), ids.end());
    return ids;
}

namespace {

QList<ClientWindow> readClientWindows(X11Connection& x11, const std::vector<std::uint32_t>& ids) {
    QList<ClientWindow> windows;
    const Atoms atoms(x11);
    std::vector<Pending> pending;
    pending.reserve(ids.size());
    for (std::uint32_t id : ids) {
        pending.push_back(send(x11.get(), x11.root(), atoms, id));
    }
    for (const Pending& p : pending) {
        if (auto window = receive(x11, atoms, p)) {
            windows.append(*window);
        }
    }
    return windows;
}

} // namespace

QList<ClientWindow> clientWindowsFrontToBack() {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr) {
        return {};
    }
    auto list = x11->property(x11->root(), x11->atom("_NET_CLIENT_LIST_STACKING"));
    if (!list) {
        list = x11->property(x11->root(), x11->atom("_NET_CLIENT_LIST"));
    }
    if (!list) {
        return {};
    }
    std::vector<std::uint32_t> ids = list->words();
    // The stacking list runs bottom to top.
    std::reverse(ids.begin(), ids.end());
    return readClientWindows(*x11, ids);
}

QList<ClientWindow> clientWindowsInMappingOrder() {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr) {
        return {};
    }
    const auto list = x11->property(x11->root(), x11->atom("_NET_CLIENT_LIST"));
    if (!list) {
        return {};
    }
    return readClientWindows(*x11, list->words());
}

std::optional<ClientWindow> clientWindow(std::uint32_t id) {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr || id == 0) {
        return std::nullopt;
    }
    const Atoms atoms(*x11);
    return receive(*x11, atoms, send(x11->get(), x11->root(), atoms, id));
}

} // namespace platform
