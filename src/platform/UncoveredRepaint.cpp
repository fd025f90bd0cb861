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
// several requests (background, then text, then borders).
constexpr std::chrono::milliseconds kSettle{8};

// A connection of the wait's own, so that its damage events reach nobody
// else's reader and nobody else's events reach it. Kept for the program's
// life: no events come on it while no damage object exists.
struct DamageConnection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    std::uint8_t firstEvent = 0;
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
    slot = DamageConnection{c, opened->screen->root, extension->first_event};
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
    QRect rect; // root pixels, border included
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

// Whether `frame` is one of ours or directly holds one of ours.
bool holdsOurs(xcb_connection_t* c, xcb_window_t frame, const QSet<std::uint32_t>& ours) {
    if (ours.contains(frame)) {
        return true;
    }
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, frame), nullptr);
    if (tree == nullptr) {
        return false;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const bool found = std::any_of(children, children + xcb_query_tree_children_length(tree),
                                   [&ours](xcb_window_t w) { return ours.contains(w); });
    std::free(tree);
    return found;
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
        if (!holdsOurs(c, p.window, d->ours)) {
            beneath.push_back(Beneath{part});
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
