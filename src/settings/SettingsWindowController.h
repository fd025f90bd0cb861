#pragma once

namespace settings {

// The sections of the settings window's sidebar; the program opens the first.
enum class SettingsSection {
    general,
    shortcuts,
};

// Stands in for the settings window until it is built: a plain window that
// says settings cannot be changed here yet.
class SettingsWindowController {
public:
    // Shows the one settings window, creating it on first use, and brings it
    // to the front.
    static void show(SettingsSection section);
    static bool isVisible();
};

} // namespace settings
