#include "platform/UncoveredRepaint.h"

#include "platform/X11Connection.h"

#include <QRect>
#include <QThread>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// How long the damage over the windows beneath must stay quiet before their
// repaint counts as finished: a program often paints an exposed area in
// several requests (background, then text, then borders), and a toolkit that
// paints on its frame clock may take one frame more.
constexpr std::chrono::milliseconds kSettle{16};

// A connection of the wait's own, so that its damage events reach nobody
// else's reader and nobody else's events reach it. Kept for the program's
// life: no events come on it while no damage object exists.
struct DamageConnection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    std::uint8_t firstEvent = 0;
    xcb_atom_t wmState = XCB_ATOM_NONE; // on the client windows a window manager framed
};

std::optional<DamageConnection>& sharedSlot() {
    static std::optional<DamageConnection> slot;
    return slot;
}

DamageConnection* damageConnection() {
    std::optional<DamageConnection>& slot = sharedSlot();
    if (slot && xcb_connection_has_error(slot->connection) != 0) {
        xcb_disconnect(slot->connection);
        slot.reset();
    }
    if (slot) {
        return &*slot;
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        return nullptr;
    }
    const std::optional<PrivateConnection> opened = openPrivateConnection();
    if (!opened) {
        return nullptr;
    }
    xcb_connection_t* c = opened->connection;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_damage_id);
    xcb_damage_query_version_reply_t* version =
        extension != nullptr && extension->present != 0
            ? xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr)
            : nullptr;
    if (version == nullptr) {
        xcb_disconnect(c);
        return nullptr;
    }
    std::free(version);
    xcb_atom_t wmState = XCB_ATOM_NONE;
    if (auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 8, "WM_STATE"), nullptr)) {
        wmState = atom->atom;
        std::free(atom);
    }
    slot = DamageConnection{c, opened->screen->root, extension->first_event, wmState};
    return &*slot;
}

// The child of the root that holds `window` (the window itself when it is
// one, else the window manager's frame around it); none when it is gone.
std::optional<xcb_window_t> topLevelOf(xcb_connection_t* c, xcb_window_t root,
                                       xcb_window_t window) {
    for (int depth = 0; depth < 16; ++depth) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        if (tree == nullptr) {
            return std::nullopt;
        }
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == root || parent == XCB_WINDOW_NONE) {
            return window;
        }
        window = parent;
    }
    return std::nullopt;
}

struct Placed {
    xcb_window_t window = XCB_WINDOW_NONE;
    QRect rect; // in its parent's pixels, border included
    int border = 0;
    bool viewable = false;
    bool inputOnly = false;
};

std::vector<Placed> placeAll(xcb_connection_t* c, const std::vector<xcb_window_t>& windows) {
    std::vector<xcb_get_window_attributes_cookie_t> attributes;
    std::vector<xcb_get_geometry_cookie_t> geometries;
    for (xcb_window_t window : windows) {
        attributes.push_back(xcb_get_window_attributes(c, window));
        geometries.push_back(xcb_get_geometry(c, window));
    }
    std::vector<Placed> placed;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        Placed p;
        p.window = windows[i];
        if (auto* a = xcb_get_window_attributes_reply(c, attributes[i], nullptr)) {
            p.viewable = a->map_state == XCB_MAP_STATE_VIEWABLE;
            p.inputOnly = a->_class == XCB_WINDOW_CLASS_INPUT_ONLY;
            std::free(a);
        }
        if (auto* g = xcb_get_geometry_reply(c, geometries[i], nullptr)) {
            p.rect =
                QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
            std::free(g);
        } else {
            p.viewable = false;
        }
        placed.push_back(p);
    }
    return placed;
}

// What of `part` (root pixels) the program behind the top-level window `top`
// must draw again: the part of its client window when `top` is a window
// manager's frame (whose decorations the server or the manager repaints at
// once), else all of it; nothing when the window is ours.
std::optional<QRegion> partToRepaint(xcb_connection_t* c, xcb_atom_t wmState, const Placed& top,
                                     const QRegion& part, const QSet<std::uint32_t>& ours) {
    if (ours.contains(top.window)) {
        return std::nullopt;
    }
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, top.window), nullptr);
    if (tree == nullptr) {
        return part;
    }
    const xcb_window_t* first = xcb_query_tree_children(tree);
    const std::vector<xcb_window_t> children(first, first + xcb_query_tree_children_length(tree));
    std::free(tree);
    if (std::any_of(children.begin(), children.end(),
                    [&ours](xcb_window_t w) { return ours.contains(w); })) {
        return std::nullopt;
    }
    std::vector<xcb_get_property_cookie_t> states;
    for (xcb_window_t child : children) {
        states.push_back(xcb_get_property(c, 0, child, wmState, XCB_ATOM_ANY, 0, 0));
    }
    std::vector<xcb_window_t> clients;
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (auto* state = xcb_get_property_reply(c, states[i], nullptr)) {
            if (state->type != XCB_ATOM_NONE) {
                clients.push_back(children[i]);
            }
            std::free(state);
        }
    }
    QRegion inClients;
    for (const Placed& client : placeAll(c, clients)) {
        if (client.viewable && !client.inputOnly) {
            inClients += part.intersected(
                client.rect.translated(top.rect.topLeft() + QPoint(top.border, top.border)));
        }
    }
    return inClients.isEmpty() ? part : inClients;
}

void roundTrip(xcb_connection_t* c) {
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

// Waits for the connection to have something to read until `deadline`; false
// when the deadline passed first.
bool readable(xcb_connection_t* c, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
        return false;
    }
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    return ::poll(&fd, 1, static_cast<int>(left)) > 0;
}

} // namespace

struct UncoveredRepaint::State {
    DamageConnection* x = nullptr;
    xcb_damage_damage_t damage = 0;
    QRegion uncovered;
    QSet<std::uint32_t> ours;
    QSet<xcb_window_t> leavingTops;
    std::vector<xcb_window_t> frames; // window manager frames of leaving windows
};

UncoveredRepaint::UncoveredRepaint(const std::vector<std::uint32_t>& leaving,
                                   const QSet<std::uint32_t>& ours)
    : d(std::make_unique<State>()) {
    d->ours = ours;
    d->x = damageConnection();
    if (d->x == nullptr) {
        return;
    }
    xcb_connection_t* c = d->x->connection;
    std::vector<xcb_window_t> tops;
    for (std::uint32_t window : leaving) {
        if (const auto top = topLevelOf(c, d->x->root, window)) {
            tops.push_back(*top);
            d->leavingTops.insert(*top);
            if (*top != window) {
                d->frames.push_back(*top);
            }
        }
    }
    for (const Placed& p : placeAll(c, tops)) {
        if (p.viewable) {
            d->uncovered += p.rect;
        }
    }
    // A frame goes when the window manager hears of the unmap, after ours.
    const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    for (xcb_window_t frame : d->frames) {
        xcb_change_window_attributes(c, frame, XCB_CW_EVENT_MASK, &structure);
    }
    d->damage = xcb_generate_id(c);
    xcb_damage_create(c, d->damage, d->x->root, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    xcb_flush(c);
}

UncoveredRepaint::~UncoveredRepaint() {
    if (d->x == nullptr) {
        return;
    }
    xcb_connection_t* c = d->x->connection;
    const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    for (xcb_window_t frame : d->frames) {
        xcb_change_window_attributes(c, frame, XCB_CW_EVENT_MASK, &none);
    }
    xcb_damage_destroy(c, d->damage);
    roundTrip(c);
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(c)) {
        std::free(event);
    }
}

QRegion UncoveredRepaint::uncovered() const {
    return d->uncovered;
}

UncoveredRepaint::Outcome UncoveredRepaint::wait(std::chrono::milliseconds limit) {
    if (d->x == nullptr) {
        QThread::msleep(static_cast<unsigned long>(limit.count()));
        return Outcome::unwatched;
    }
    const Clock::time_point deadline = Clock::now() + limit;
    xcb_connection_t* c = d->x->connection;
    const auto drain = [c] {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            std::free(event);
        }
    };

    // The frames of managed windows leave once the window manager has acted.
    while (!d->frames.empty()) {
        const std::vector<Placed> frames = placeAll(c, d->frames);
        if (std::none_of(frames.begin(), frames.end(),
                         [](const Placed& p) { return p.viewable; })) {
            break;
        }
        if (!readable(c, deadline)) {
            return Outcome::timedOut;
        }
        drain();
    }

    // What the server painted itself while it handled the unmaps (the root's
    // background, the windows' own backgrounds) came before this reply.
    roundTrip(c);
    drain();

    // Who shows through, topmost first: the children of the root come bottom up.
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, d->x->root), nullptr);
    if (tree == nullptr) {
        return Outcome::nothingBeneath;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree);
    std::vector<xcb_window_t> stack(children, children + xcb_query_tree_children_length(tree));
    std::free(tree);
    std::reverse(stack.begin(), stack.end());

    struct Beneath {
        QRegion part;
        bool drawn = false;
    };
    std::vector<Beneath> beneath;
    QRegion left = d->uncovered;
    for (const Placed& p : placeAll(c, stack)) {
        if (left.isEmpty()) {
            break;
        }
        if (!p.viewable || p.inputOnly || d->leavingTops.contains(p.window)) {
            continue;
        }
        const QRegion part = left.intersected(p.rect);
        if (part.isEmpty()) {
            continue;
        }
        left -= p.rect;
        // Ours paint on the thread that waits here: they cannot be waited for.
        if (const auto repaint = partToRepaint(c, d->x->wmState, p, part, d->ours)) {
            beneath.push_back(Beneath{*repaint});
        }
    }
    if (beneath.empty()) {
        return Outcome::nothingBeneath;
    }

    const std::uint8_t notify = d->x->firstEvent + XCB_DAMAGE_NOTIFY;
    std::optional<Clock::time_point> lastDrawn;
    for (;;) {
        const bool allDrawn =
            std::all_of(beneath.begin(), beneath.end(), [](const Beneath& b) { return b.drawn; });
        Clock::time_point until = deadline;
        if (allDrawn && lastDrawn) {
            until = std::min(deadline, *lastDrawn + kSettle);
            if (Clock::now() >= until) {
                return Clock::now() >= deadline ? Outcome::timedOut : Outcome::repainted;
            }
        }
        if (!readable(c, until)) {
            if (until == deadline) {
                return Outcome::timedOut;
            }
            continue;
        }
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == notify) {
                const auto* damage = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
                const QRect area(damage->area.x, damage->area.y, damage->area.width,
                                 damage->area.height);
                for (Beneath& b : beneath) {
                    if (b.part.intersects(area)) {
                        b.drawn = true;
                        lastDrawn = Clock::now();
                    }
                }
            }
            std::free(event);
        }
        if (xcb_connection_has_error(c) != 0) {
            return Outcome::timedOut;
        }
    }
}

} // namespace platform
