#include "platform/SystemTrayColors.h"

#include "platform/X11Connection.h"

#include <QByteArray>
#include <QCoreApplication>

#include <algorithm>
#include <memory>

namespace platform {

std::optional<QColor> trayForegroundFrom(const std::vector<std::uint32_t>& words) {
    if (words.size() < 3) {
        return std::nullopt;
    }
    const auto channel = [&](std::size_t i) {
        return static_cast<int>(std::min<std::uint32_t>(words[i], 0xFFFF));
    };
    return QColor::fromRgba64(static_cast<quint16>(channel(0)), static_cast<quint16>(channel(1)),
                              static_cast<quint16>(channel(2)));
}

namespace {

// The tray selection of the default screen of DISPLAY, which the shared
// connection works on.
QByteArray traySelection() {
    int screenNumber = 0;
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const qsizetype colon = display.lastIndexOf(':');
    if (dot > colon && colon >= 0) {
        screenNumber = display.mid(dot + 1).toInt();
    }
    return "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber);
}

} // namespace

TrayAnnouncements::TrayAnnouncements(QObject* parent) : QObject(parent) {
    if (X11Connection* x = X11Connection::shared()) {
        managerAtom_ = x->atom("MANAGER");
        selectionAtom_ = x->atom(traySelection().constData());
    }
    if (QCoreApplication* application = QCoreApplication::instance();
        application != nullptr && managerAtom_ != XCB_ATOM_NONE) {
        application->installNativeEventFilter(this);
    }
}

TrayAnnouncements::~TrayAnnouncements() {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeNativeEventFilter(this);
    }
}

bool TrayAnnouncements::nativeEventFilter(const QByteArray& eventType, void* message,
                                          qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // Sent by the tray on purpose, so the sent-event bit may be set.
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (client->format == 32 && client->type == managerAtom_ &&
        client->data.data32[1] == selectionAtom_) {
        QMetaObject::invokeMethod(this, &TrayAnnouncements::trayAnnounced, Qt::QueuedConnection);
    }
    return false;
}

std::optional<QColor> systemTrayForeground() {
    X11Connection* x = X11Connection::shared();
    if (x == nullptr) {
        return std::nullopt;
    }
    const xcb_atom_t trayAtom = x->atom(traySelection().constData());
    if (trayAtom == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(x->get(), xcb_get_selection_owner(x->get(), trayAtom),
                                      nullptr),
        &std::free);
    if (!owner || owner->owner == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    const auto colors = x->property(owner->owner, x->atom("_NET_SYSTEM_TRAY_COLORS"), 12);
    if (!colors || colors->format != 32) {
        return std::nullopt;
    }
    return trayForegroundFrom(colors->words());
}

} // namespace platform
