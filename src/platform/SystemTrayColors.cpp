#include "platform/SystemTrayColors.h"

#include "platform/X11Connection.h"

#include <QByteArray>

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

std::optional<QColor> systemTrayForeground() {
    X11Connection* x = X11Connection::shared();
    if (x == nullptr) {
        return std::nullopt;
    }
    int screenNumber = 0;
    {
        // The shared connection works on the default screen of DISPLAY.
        const QByteArray display = qgetenv("DISPLAY");
        const qsizetype dot = display.lastIndexOf('.');
        const qsizetype colon = display.lastIndexOf(':');
        if (dot > colon && colon >= 0) {
            screenNumber = display.mid(dot + 1).toInt();
        }
    }
    const QByteArray selection = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber);
    const xcb_atom_t trayAtom = x->atom(selection.constData());
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
