#include "platform/WindowComposer.h"

#include "platform/ServerPixels.h"
#include "platform/SharedSegment.h"
#include "platform/X11Connection.h"

#include <QHash>
#include <QPainter>
#include <QRegion>

#include <xcb/composite.h>
#include <xcb/render.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform {

namespace {

template <typename T> struct Freed {
    T* p = nullptr;
    ~Freed() { std::free(p); }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// One child of the root as this frame sees it.
struct TopLevel {
    xcb_window_t id = 0;
    QRect rect; // with its border, root pixels
    // The pixels it shows (root pixels): its rectangle cut by its bounding
    // shape. A shaped window (a rounded panel, our click overlay) paints
    // its whole rectangle but shows only these; what lies outside them is
    // stale paint that the screen never shows.
    QRegion visible;
    int border = 0;
    xcb_visualid_t visual = 0;
    StreamWindow facts;
    // A manager's frame that holds no client yet: its owner is not known.
    bool ownerPending = false;
};

} // namespace

struct WindowComposer::State {
    xcb_connection_t* c = nullptr;
    xcb_screen_t* screen = nullptr;
    PixelLayout rootLayout;
    SharedSegment segment;
    bool composite = false;
    bool render = false;
    bool xfixes = false;
    bool shape = false;
    // A window of ours at the bottom of the stack whose background is its
    // parent's, the root's: the one way to read the desktop's background
    // picture or colour when no property publishes it (xsetroot, `display
    // -window root`). It is redirected by hand, so the server never draws it
    // and it hides nothing, takes no input (empty input shape) and is
    // repainted from the root's background before each use. Not made where
    // a compositing manager already redirects the root's children.
    xcb_window_t backdrop = 0;
    QSize backdropSize;
    bool backdropRefused = false;
    QSize rootSize;
    xcb_render_pictformat_t rootFormat = 0;
    // Each visual's picture format and whether it carries alpha.
    QHash<xcb_visualid_t, std::pair<xcb_render_pictformat_t, bool>> visualFormats;
    xcb_atom_t wmState = XCB_ATOM_NONE;
    xcb_atom_t windowType = XCB_ATOM_NONE;
    xcb_atom_t pid = XCB_ATOM_NONE;
    xcb_atom_t rootPixmap = XCB_ATOM_NONE;
    QHash<xcb_atom_t, QString> atomNames;
    // Who owns each framed window, once the manager has put a client in it:
    // read once, as owners do not change.
    std::unordered_map<xcb_window_t, StreamWindow> facts;

    ~State() {
        if (c != nullptr) {
            if (backdrop != 0) {
                xcb_destroy_window(c, backdrop);
            }
            segment.detach(c);
            xcb_disconnect(c);
        }
    }

    xcb_atom_t intern(const char* name) {
        Freed<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr)};
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    QString atomName(xcb_atom_t atom) {
        auto it = atomNames.find(atom);
        if (it != atomNames.end()) {
            return *it;
        }
        Freed<xcb_get_atom_name_reply_t> reply{
            xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr)};
        QString name;
        if (reply) {
            name = QString::fromLatin1(xcb_get_atom_name_name(reply.p),
                                       xcb_get_atom_name_name_length(reply.p));
        }
        atomNames.insert(atom, name);
        return name;
    }

    // The top levels as last read, and whether they may have changed since:
    // the root's children and their shapes report every change as an event
    // (a window mapped, moved, restacked, reshaped), so a still desktop costs
    // the server no questions at all frame after frame.
    std::vector<TopLevel> known;
    bool changed = true;
    std::unordered_set<xcb_window_t> shapeWatched;

    // Reads what arrived: any event means the windows changed. Errors of
    // requests whose replies nobody waits for come this way too, and are let
    // go of.
    void readEvents() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) != 0) {
                changed = true;
            }
            std::free(event);
        }
    }

    void readFormats() {
        Freed<xcb_render_query_pict_formats_reply_t> reply{
            xcb_render_query_pict_formats_reply(c, xcb_render_query_pict_formats(c), nullptr)};
        if (!reply) {
            render = false;
            return;
        }
        QHash<xcb_render_pictformat_t, bool> alpha;
        auto formats = xcb_render_query_pict_formats_formats_iterator(reply.p);
        for (; formats.rem > 0; xcb_render_pictforminfo_next(&formats)) {
            alpha.insert(formats.data->id, formats.data->direct.alpha_mask != 0);
        }
        auto screens = xcb_render_query_pict_formats_screens_iterator(reply.p);
        for (; screens.rem > 0; xcb_render_pictscreen_next(&screens)) {
            auto depths = xcb_render_pictscreen_depths_iterator(screens.data);
            for (; depths.rem > 0; xcb_render_pictdepth_next(&depths)) {
                auto visuals = xcb_render_pictdepth_visuals_iterator(depths.data);
                for (; visuals.rem > 0; xcb_render_pictvisual_next(&visuals)) {
                    visualFormats.insert(
                        visuals.data->visual,
                        {visuals.data->format, alpha.value(visuals.data->format, false)});
                }
            }
        }
        auto root = visualFormats.find(screen->root_visual);
        if (root == visualFormats.end()) {
            render = false;
            return;
        }
        rootFormat = root->first;
    }

    std::optional<QByteArray> property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
        Freed<xcb_get_property_reply_t> reply{xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, name, type, 0, 1024), nullptr)};
        if (!reply || reply->type == XCB_ATOM_NONE) {
            return std::nullopt;
        }
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.p)),
                          xcb_get_property_value_length(reply.p) * (reply->format / 8));
    }

    // The window that carries the owner's properties: the top level itself
    // when it is a client (WM_STATE) or unmanaged, else its child that is.
    // Nothing while a manager's frame holds no client yet.
    std::optional<xcb_window_t> clientOf(xcb_window_t topLevel, bool overrideRedirect) {
        if (overrideRedirect || property(topLevel, wmState, XCB_GET_PROPERTY_TYPE_ANY)) {
            return topLevel;
        }
        Freed<xcb_query_tree_reply_t> tree{
            xcb_query_tree_reply(c, xcb_query_tree(c, topLevel), nullptr)};
        if (!tree) {
            return std::nullopt;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree.p);
        for (int i = xcb_query_tree_children_length(tree.p) - 1; i >= 0; --i) {
            if (property(children[i], wmState, XCB_GET_PROPERTY_TYPE_ANY)) {
                return children[i];
            }
        }
        return std::nullopt;
    }

    StreamWindow readFacts(xcb_window_t topLevel, xcb_window_t client) {
        StreamWindow facts;
        facts.topLevel = topLevel;
        facts.client = client;
        if (auto wmClass = property(client, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)) {
            // instance NUL class NUL
            const QList<QByteArray> parts = wmClass->split('\0');
            if (parts.size() >= 2) {
                facts.appClass = QString::fromLocal8Bit(parts[1]);
            }
        }
        if (auto types = property(client, windowType, XCB_ATOM_ATOM)) {
            for (qsizetype i = 0; i + 4 <= types->size(); i += 4) {
                xcb_atom_t atom = 0;
                std::memcpy(&atom, types->constData() + i, 4);
                facts.types << atomName(atom);
            }
        }
        if (auto value = property(client, pid, XCB_ATOM_CARDINAL); value && value->size() >= 4) {
            std::uint32_t number = 0;
            std::memcpy(&number, value->constData(), 4);
            facts.pid = static_cast<std::int32_t>(number);
        }
        return facts;
    }

    // The viewable children of the root that show pixels, bottom to top.
    const std::vector<TopLevel>& topLevels() {
        readEvents();
        if (!changed) {
            return known;
        }
        known = readTopLevels();
        // A frame whose client has not come yet is read again next time.
        changed = std::any_of(known.begin(), known.end(),
                              [](const TopLevel& top) { return top.ownerPending; });
        return known;
    }

    std::vector<TopLevel> readTopLevels() {
        std::vector<TopLevel> result;
        Freed<xcb_query_tree_reply_t> tree{
            xcb_query_tree_reply(c, xcb_query_tree(c, screen->root), nullptr)};
        if (!tree) {
            return result;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree.p);
        const int count = xcb_query_tree_children_length(tree.p);
        // All questions first, then the answers: one round trip for all.
        std::vector<xcb_get_window_attributes_cookie_t> attributes(count);
        std::vector<xcb_get_geometry_cookie_t> geometries(count);
        std::vector<xcb_shape_query_extents_cookie_t> extents(shape ? count : 0);
        const xcb_get_geometry_cookie_t rootGeometry = xcb_get_geometry(c, screen->root);
        std::unordered_set<xcb_window_t> watched;
        for (int i = 0; i < count; ++i) {
            attributes[i] = xcb_get_window_attributes(c, children[i]);
            geometries[i] = xcb_get_geometry(c, children[i]);
            if (shape) {
                // Watched before its shape is asked for: a change between the
                // answer and the watch would go unseen until another one.
                if (!shapeWatched.contains(children[i])) {
                    xcb_shape_select_input(c, children[i], 1);
                }
                watched.insert(children[i]);
                extents[i] = xcb_shape_query_extents(c, children[i]);
            }
        }
        shapeWatched = std::move(watched);
        if (Freed<xcb_get_geometry_reply_t> g{xcb_get_geometry_reply(c, rootGeometry, nullptr)}) {
            rootSize = QSize(g->width, g->height);
        }
        std::unordered_map<xcb_window_t, StreamWindow> seen;
        // The shaped windows' rectangles are asked for all at once too.
        std::vector<std::pair<std::size_t, xcb_shape_get_rectangles_cookie_t>> shapes;
        for (int i = 0; i < count; ++i) {
            Freed<xcb_get_window_attributes_reply_t> a{
                xcb_get_window_attributes_reply(c, attributes[i], nullptr)};
            Freed<xcb_get_geometry_reply_t> g{xcb_get_geometry_reply(c, geometries[i], nullptr)};
            Freed<xcb_shape_query_extents_reply_t> e{
                shape ? xcb_shape_query_extents_reply(c, extents[i], nullptr) : nullptr};
            if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE ||
                a->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT || children[i] == backdrop) {
                continue;
            }
            TopLevel top;
            top.id = children[i];
            top.visual = a->visual;
            top.rect =
                QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
            top.visible = QRegion(top.rect);
            top.border = g->border_width;
            if (e && e->bounding_shaped) {
                shapes.emplace_back(result.size(),
                                    xcb_shape_get_rectangles(c, top.id, XCB_SHAPE_SK_BOUNDING));
            }
            auto known = facts.find(top.id);
            if (known != facts.end()) {
                top.facts = known->second;
                seen.insert(*known);
            } else if (auto client = clientOf(top.id, a->override_redirect != 0)) {
                top.facts = readFacts(top.id, *client);
                seen.emplace(top.id, top.facts);
            } else {
                top.facts.topLevel = top.facts.client = top.id;
                top.ownerPending = true;
            }
            result.push_back(top);
        }
        for (const auto& [index, cookie] : shapes) {
            TopLevel& top = result[index];
            Freed<xcb_shape_get_rectangles_reply_t> reply{
                xcb_shape_get_rectangles_reply(c, cookie, nullptr)};
            if (!reply) {
                continue; // gone meanwhile: its whole rectangle stands
            }
            // Shape rectangles are relative to the window's origin, inside
            // its border.
            const QPoint origin = top.rect.topLeft() + QPoint(top.border, top.border);
            QRegion shaped;
            const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(reply.p);
            const int n = xcb_shape_get_rectangles_rectangles_length(reply.p);
            std::vector<QRect> list;
            list.reserve(std::size_t(n));
            for (int k = 0; k < n; ++k) {
                list.emplace_back(origin.x() + rects[k].x, origin.y() + rects[k].y, rects[k].width,
                                  rects[k].height);
            }
            shaped.setRects(list.data(), n);
            top.visible = shaped.intersected(top.rect);
        }
        facts = std::move(seen);
        return result;
    }

    // A pixmap of the root's background as the screen shows it now (the
    // caller frees it), or nothing where the backdrop cannot be made.
    std::optional<xcb_pixmap_t> backdropPixmap() {
        if (backdropRefused || rootSize.isEmpty()) {
            return std::nullopt;
        }
        if (backdrop == 0) {
            backdrop = xcb_generate_id(c);
            const std::uint32_t values[] = {XCB_BACK_PIXMAP_PARENT_RELATIVE, 1};
            xcb_create_window(c, XCB_COPY_FROM_PARENT, backdrop, screen->root, 0, 0,
                              static_cast<std::uint16_t>(rootSize.width()),
                              static_cast<std::uint16_t>(rootSize.height()), 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                              XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
            backdropSize = rootSize;
            xcb_generic_error_t* refused = xcb_request_check(
                c,
                xcb_composite_redirect_window_checked(c, backdrop, XCB_COMPOSITE_REDIRECT_MANUAL));
            if (refused != nullptr) {
                // A compositing manager draws the screen: leave its work be.
                std::free(refused);
                xcb_destroy_window(c, backdrop);
                backdrop = 0;
                backdropRefused = true;
                return std::nullopt;
            }
            if (shape) {
                xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                                     XCB_CLIP_ORDERING_UNSORTED, backdrop, 0, 0, 0, nullptr);
            }
            const std::uint32_t bottom = XCB_STACK_MODE_BELOW;
            xcb_configure_window(c, backdrop, XCB_CONFIG_WINDOW_STACK_MODE, &bottom);
            xcb_map_window(c, backdrop);
        } else if (backdropSize != rootSize) {
            const std::uint32_t size[] = {std::uint32_t(rootSize.width()),
                                          std::uint32_t(rootSize.height())};
            xcb_configure_window(c, backdrop, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                                 size);
            backdropSize = rootSize;
        }
        // The root's background may have changed since the last frame.
        xcb_clear_area(c, 0, backdrop, 0, 0, 0, 0);
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_composite_name_window_pixmap_checked(c, backdrop, pixmap));
        if (error != nullptr) {
            std::free(error);
            return std::nullopt;
        }
        return pixmap;
    }

    std::optional<xcb_pixmap_t> rootBackground() {
        auto value = property(screen->root, rootPixmap, XCB_ATOM_PIXMAP);
        if (!value || value->size() < 4) {
            return std::nullopt;
        }
        xcb_pixmap_t pixmap = 0;
        std::memcpy(&pixmap, value->constData(), 4);
        return pixmap == 0 ? std::nullopt : std::optional<xcb_pixmap_t>(pixmap);
    }

    // `area` (root pixels) with `windows` drawn bottom to top over the
    // desktop's background, or over `fill`; only the pixels inside `clip`
    // are drawn.
    QImage compose(const QRect& area, const QRegion& clip, const std::vector<TopLevel>& windows,
                   const std::optional<QColor>& fill) {
        const xcb_pixmap_t canvas = xcb_generate_id(c);
        xcb_create_pixmap(c, screen->root_depth, canvas, screen->root,
                          static_cast<std::uint16_t>(area.width()),
                          static_cast<std::uint16_t>(area.height()));
        const xcb_render_picture_t target = xcb_generate_id(c);
        xcb_render_create_picture(c, target, canvas, rootFormat, 0, nullptr);
        std::vector<xcb_rectangle_t> rects;
        for (const QRect& r : clip.translated(-area.topLeft())) {
            rects.push_back({static_cast<std::int16_t>(r.x()), static_cast<std::int16_t>(r.y()),
                             static_cast<std::uint16_t>(r.width()),
                             static_cast<std::uint16_t>(r.height())});
        }
        xcb_render_set_picture_clip_rectangles(
            c, target, 0, 0, static_cast<std::uint32_t>(rects.size()), rects.data());
        const xcb_rectangle_t whole{0, 0, static_cast<std::uint16_t>(area.width()),
                                    static_cast<std::uint16_t>(area.height())};
        const QColor colour = fill.value_or(QColor(0, 0, 0));
        const xcb_render_color_t render{static_cast<std::uint16_t>(colour.red() * 257),
                                        static_cast<std::uint16_t>(colour.green() * 257),
                                        static_cast<std::uint16_t>(colour.blue() * 257), 0xffff};
        xcb_render_fill_rectangles(c, XCB_RENDER_PICT_OP_SRC, target, render, 1, &whole);
        if (!fill) {
            const std::optional<xcb_pixmap_t> drawn = backdropPixmap();
            const std::optional<xcb_pixmap_t> background = drawn ? drawn : rootBackground();
            if (background) {
                const xcb_render_picture_t picture = xcb_generate_id(c);
                const std::uint32_t repeat = XCB_RENDER_REPEAT_NORMAL;
                xcb_render_create_picture(c, picture, *background, rootFormat, XCB_RENDER_CP_REPEAT,
                                          &repeat);
                xcb_render_composite(c, XCB_RENDER_PICT_OP_SRC, picture, XCB_NONE, target,
                                     static_cast<std::int16_t>(area.x()),
                                     static_cast<std::int16_t>(area.y()), 0, 0, 0, 0, whole.width,
                                     whole.height);
                xcb_render_free_picture(c, picture);
            }
            if (drawn) {
                xcb_free_pixmap(c, *drawn);
            }
        }
        for (const TopLevel& window : windows) {
            const QRegion shown = window.visible.intersected(clip);
            if (shown.isEmpty()) {
                continue;
            }
            auto format = visualFormats.find(window.visual);
            if (format == visualFormats.end()) {
                continue;
            }
            // Only what the window shows on the screen: a shaped window's
            // pixmap holds paint outside its shape.
            rects.clear();
            for (const QRect& r : shown.translated(-area.topLeft())) {
                rects.push_back({static_cast<std::int16_t>(r.x()), static_cast<std::int16_t>(r.y()),
                                 static_cast<std::uint16_t>(r.width()),
                                 static_cast<std::uint16_t>(r.height())});
            }
            xcb_render_set_picture_clip_rectangles(
                c, target, 0, 0, static_cast<std::uint32_t>(rects.size()), rects.data());
            const xcb_pixmap_t pixmap = xcb_generate_id(c);
            xcb_generic_error_t* error = xcb_request_check(
                c, xcb_composite_name_window_pixmap_checked(c, window.id, pixmap));
            if (error != nullptr) {
                // Unmapped since the list was read.
                std::free(error);
                continue;
            }
            const xcb_render_picture_t picture = xcb_generate_id(c);
            xcb_render_create_picture(c, picture, pixmap, format->first, 0, nullptr);
            xcb_render_composite(
                c, format->second ? XCB_RENDER_PICT_OP_OVER : XCB_RENDER_PICT_OP_SRC, picture,
                XCB_NONE, target, 0, 0, 0, 0, static_cast<std::int16_t>(window.rect.x() - area.x()),
                static_cast<std::int16_t>(window.rect.y() - area.y()),
                static_cast<std::uint16_t>(window.rect.width()),
                static_cast<std::uint16_t>(window.rect.height()));
            xcb_render_free_picture(c, picture);
            xcb_free_pixmap(c, pixmap);
        }
        xcb_render_free_picture(c, target);
        QImage image = readServerImage(c, canvas, QRect(QPoint(0, 0), area.size()), rootLayout,
                                       segment.refused() ? nullptr : &segment);
        xcb_free_pixmap(c, canvas);
        readEvents();
        return image;
    }
};

WindowComposer::WindowComposer() : d(std::make_unique<State>()) {}
WindowComposer::~WindowComposer() = default;

std::unique_ptr<WindowComposer> WindowComposer::open() {
    const std::optional<PrivateConnection> opened = openPrivateConnection();
    if (!opened) {
        return nullptr;
    }
    xcb_connection_t* connection = opened->connection;
    std::unique_ptr<WindowComposer> composer(new WindowComposer());
    State& s = *composer->d;
    s.c = connection;
    s.screen = opened->screen;
    s.rootLayout =
        serverPixelLayout(connection, s.screen, s.screen->root_depth, s.screen->root_visual);
    auto present = [connection](xcb_extension_t* extension) {
        const xcb_query_extension_reply_t* data = xcb_get_extension_data(connection, extension);
        return data != nullptr && data->present;
    };
    if (present(&xcb_xfixes_id)) {
        Freed<xcb_xfixes_query_version_reply_t> version{xcb_xfixes_query_version_reply(
            connection, xcb_xfixes_query_version(connection, 4, 0), nullptr)};
        s.xfixes = static_cast<bool>(version);
    }
    s.shape = present(&xcb_shape_id);
    if (present(&xcb_composite_id) && present(&xcb_render_id)) {
        Freed<xcb_composite_query_version_reply_t> composite{xcb_composite_query_version_reply(
            connection, xcb_composite_query_version(connection, 0, 4), nullptr)};
        Freed<xcb_render_query_version_reply_t> render{xcb_render_query_version_reply(
            connection, xcb_render_query_version(connection, 0, 11), nullptr)};
        // Naming a window's pixmap came with version 0.2.
        s.composite = composite && (composite->major_version > 0 || composite->minor_version >= 2);
        s.render = static_cast<bool>(render);
    }
    if (s.composite && s.render) {
        s.readFormats();
    }
    if (s.composite && s.render) {
        // Automatic redirection keeps every top level's picture in a pixmap
        // of its own while the server still paints the screen as before. A
        // compositing manager's redirection does the same for us; the
        // server refuses ours then (BadAccess), which changes nothing.
        std::free(xcb_request_check(
            connection, xcb_composite_redirect_subwindows_checked(
                            connection, s.screen->root, XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
        const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, s.screen->root, XCB_CW_EVENT_MASK, &events);
        s.wmState = s.intern("WM_STATE");
        s.windowType = s.intern("_NET_WM_WINDOW_TYPE");
        s.pid = s.intern("_NET_WM_PID");
        s.rootPixmap = s.intern("_XROOTPMAP_ID");
    }
    return composer;
}

bool WindowComposer::canCompose() const {
    return d->composite && d->render;
}

bool WindowComposer::isBroken() const {
    return xcb_connection_has_error(d->c) != 0;
}

void WindowComposer::leaveOut(QImage& frame, const QRect& region, const WindowsLeftOut& leftOut) {
    if (!canCompose() || isBroken() || frame.isNull()) {
        return;
    }
    const std::vector<TopLevel>& windows = d->topLevels();
    QRegion hidden;
    std::vector<TopLevel> kept;
    for (const TopLevel& window : windows) {
        if (leftOut.leavesOut(window.facts)) {
            hidden += window.visible.intersected(region);
        } else {
            kept.push_back(window);
        }
    }
    if (hidden.isEmpty()) {
        d->readEvents();
        return;
    }
    const QRect area = hidden.boundingRect();
    const QImage beneath = d->compose(area, hidden, kept, std::nullopt);
    if (beneath.isNull()) {
        return;
    }
    QPainter painter(&frame);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRegion(hidden.translated(-region.topLeft()));
    painter.drawImage(area.topLeft() - region.topLeft(), beneath);
}

QImage WindowComposer::composeShown(const QRect& region, const WindowsShown& shown,
                                    const QColor& background) {
    if (!canCompose() || isBroken() || region.isEmpty()) {
        return {};
    }
    std::vector<TopLevel> windows;
    bool recordedIsThere = false;
    for (const TopLevel& window : d->topLevels()) {
        if (shown.shows(window.facts)) {
            recordedIsThere = recordedIsThere || window.facts.client == shown.window ||
                              window.facts.topLevel == shown.window;
            windows.push_back(window);
        }
    }
    if (!recordedIsThere) {
        d->readEvents();
        return {};
    }
    return d->compose(region, QRegion(region), windows, background);
}

std::optional<WindowComposer::Pointer> WindowComposer::pointer() {
    if (!d->xfixes || isBroken()) {
        return std::nullopt;
    }
    Freed<xcb_xfixes_get_cursor_image_reply_t> reply{
        xcb_xfixes_get_cursor_image_reply(d->c, xcb_xfixes_get_cursor_image(d->c), nullptr)};
    if (!reply || reply->width == 0 || reply->height == 0 ||
        xcb_xfixes_get_cursor_image_cursor_image_length(reply.p) <
            int(reply->width) * int(reply->height)) {
        return std::nullopt;
    }
    QImage image(reply->width, reply->height, QImage::Format_ARGB32_Premultiplied);
    const std::uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.p);
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(image.scanLine(y), pixels + std::size_t(y) * reply->width,
                    std::size_t(reply->width) * 4);
    }
    return Pointer{image, QPoint(reply->x - reply->xhot, reply->y - reply->yhot)};
}

} // namespace platform
