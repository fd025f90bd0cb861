#include "platform/DisplayMonitors.h"

#include "platform/X11Connection.h"

#include <xcb/randr.h>

#include <cstdlib>

namespace platform {

namespace {

QString outputName(xcb_connection_t* connection, xcb_randr_output_t output) {
    xcb_randr_get_output_info_reply_t* info = xcb_randr_get_output_info_reply(
        connection, xcb_randr_get_output_info(connection, output, XCB_CURRENT_TIME), nullptr);
    if (info == nullptr) {
        return {};
    }
    QString name =
        QString::fromUtf8(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info)),
                          xcb_randr_get_output_info_name_length(info));
    std::free(info);
    return name;
}

} // namespace

QList<DisplayMonitor> displayMonitors() {
    QList<DisplayMonitor> monitors;
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr) {
        return monitors;
    }
    xcb_connection_t* connection = x11->get();
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection, &xcb_randr_id);
    if (extension == nullptr || !extension->present) {
        return monitors;
    }
    xcb_randr_query_version_reply_t* version = xcb_randr_query_version_reply(
        connection, xcb_randr_query_version(connection, 1, 5), nullptr);
    const bool hasMonitors =
        version != nullptr && (version->major_version > 1 || version->minor_version >= 5);
    std::free(version);
    if (!hasMonitors) {
        return monitors;
    }
    xcb_randr_get_monitors_reply_t* reply = xcb_randr_get_monitors_reply(
        connection, xcb_randr_get_monitors(connection, x11->root(), 1), nullptr);
    if (reply == nullptr) {
        return monitors;
    }
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* info = it.data;
        DisplayMonitor monitor;
        monitor.name = x11->atomName(info->name);
        monitor.geometry = QRect(info->x, info->y, info->width, info->height);
        monitor.primary = info->primary != 0;
        const xcb_randr_output_t* outputs = xcb_randr_monitor_info_outputs(info);
        const int count = xcb_randr_monitor_info_outputs_length(info);
        for (int i = 0; i < count; ++i) {
            monitor.outputs.append(outputName(connection, outputs[i]));
        }
        monitor.id = count > 0 ? outputs[0] : info->name;
        monitors.append(monitor);
    }
    std::free(reply);
    return monitors;
}

} // namespace platform
