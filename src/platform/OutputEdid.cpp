#include "platform/OutputEdid.h"

#include "platform/X11Connection.h"

#include <xcb/randr.h>

#include <cstdlib>

namespace platform {

QByteArray outputEdid(std::uint32_t outputID) {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr || outputID == 0) {
        return {};
    }
    const xcb_atom_t edid = x11->atom("EDID");
    if (edid == XCB_ATOM_NONE) {
        return {};
    }
    xcb_connection_t* c = x11->get();
    xcb_randr_get_output_property_reply_t* reply = xcb_randr_get_output_property_reply(
        c, xcb_randr_get_output_property(c, outputID, edid, XCB_ATOM_ANY, 0, 256, 0, 0), nullptr);
    if (reply == nullptr) {
        return {};
    }
    QByteArray bytes;
    if (reply->format == 8) {
        bytes = QByteArray(reinterpret_cast<const char*>(xcb_randr_get_output_property_data(reply)),
                           xcb_randr_get_output_property_data_length(reply));
    }
    std::free(reply);
    return bytes;
}

} // namespace platform
