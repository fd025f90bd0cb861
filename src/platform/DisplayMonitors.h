#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace platform {

// One monitor as the X server's RandR extension lays it out on the root
// window, in device pixels.
struct DisplayMonitor {
    QString name;        // the monitor's name ("DP-1", or a name given by xrandr --setmonitor)
    QStringList outputs; // names of the outputs that drive it; empty for a virtual monitor
    QRect geometry;      // pixels on the root window
    // Stable for the monitor's life: its first output's id, else the id of its
    // name (virtual monitors have no output).
    std::uint32_t id = 0;
    bool primary = false;
};

// The monitors of the X server named by DISPLAY (RandR 1.5); empty without an
// X server or without RandR 1.5.
QList<DisplayMonitor> displayMonitors();

} // namespace platform
