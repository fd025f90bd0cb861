#pragma once

#include <QString>

namespace settings {

// Whether the program starts when the user logs in, kept as the desktop's
// autostart entry $XDG_CONFIG_HOME/autostart/vexlin-capture.desktop that runs
// the binary that is running now. Main thread only.

// The entry's path.
QString launchAtLoginEntryPath();

// True when the entry exists, reads as a desktop entry and is neither
// Hidden=true nor X-GNOME-Autostart-enabled=false. A malformed entry counts
// as off.
bool isLaunchAtLoginEnabled();

// On writes the entry atomically (replacing whatever is there), off removes
// it. A failure is told in one alert through app::FilePanels; nothing else
// changes, so reading the state back shows what really holds.
void setLaunchAtLogin(bool enabled);

// The Exec value that runs `program` with no arguments, quoted and escaped as
// the Desktop Entry Specification requires.
QString desktopEntryExec(const QString& program);

} // namespace settings
