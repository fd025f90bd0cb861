#include "platform/QuietWindowMove.h"

#include "platform/MainThread.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <deque>
#include <unordered_map>

namespace platform {

namespace {

// The places each window was sent to whose notices have not come back yet,
// in the order they were asked for.
class QuietMoves final : public QAbstractNativeEventFilter {
public:
    static QuietMoves& shared() {
        // Kept for the program's life: Qt holds on to its filters.
        static auto* moves = [] {
            auto* created = new QuietMoves;
            qGuiApp->installNativeEventFilter(created);
            return created;
        }();
        return *moves;
    }

    void sent(xcb_window_t window, QPoint to) { pending_[window].push_back(to); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (pending_.empty() || eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (event->response_type == XCB_DESTROY_NOTIFY) {
            // The server may give the id to a later window of ours.
            pending_.erase(static_cast<const xcb_destroy_notify_event_t*>(message)->window);
            return false;
        }
        // Notices sent by other clients (bit 7) are not the server's answer to a move.
        if (event->response_type != XCB_CONFIGURE_NOTIFY) {
            return false;
        }
        const auto* notice = static_cast<const xcb_configure_notify_event_t*>(message);
        const auto found = pending_.find(notice->window);
        if (found == pending_.end()) {
            return false;
        }
        std::deque<QPoint>& places = found->second;
        const QPoint at(notice->x, notice->y);
        while (!places.empty() && places.front() != at) {
            places.pop_front();
        }
        if (places.empty()) {
            // Not one of ours (a resize, a restack, a move through Qt): Qt
            // must hear it.
            pending_.erase(found);
            return false;
        }
        places.pop_front();
        if (places.empty()) {
            pending_.erase(found);
        }
        return true;
    }

private:
    std::unordered_map<xcb_window_t, std::deque<QPoint>> pending_;
};

} // namespace

bool moveWindowQuietly(std::uint64_t window, QPoint pixels) {
    assertMainThread();
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (c == nullptr || window == 0) {
        return false;
    }
    const auto id = static_cast<xcb_window_t>(window);
    const std::uint32_t values[] = {static_cast<std::uint32_t>(pixels.x()),
                                    static_cast<std::uint32_t>(pixels.y())};
    xcb_configure_window(c, id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    QuietMoves::shared().sent(id, pixels);
    xcb_flush(c);
    return true;
}

} // namespace platform
