#pragma once

#include <QString>

class QWidget;

namespace platform {
class PermissionProbe;
}

namespace settings {

class SettingsPermissions;

// The sections of the settings window's sidebar, in its order; the program
// opens the first.
enum class SettingsSection {
    general,
    screenshots,
    shortcuts,
    quickAccess,
    recording,
    recordingOverlays,
    permissions,
    about,
};

QString sectionTitle(SettingsSection section);
// The name of the section's symbol in the sidebar (see settingsSymbol()).
QString sectionSymbol(SettingsSection section);

// The one settings window: a sidebar of sections beside the pane of the
// chosen one. Its width is fixed (the sidebar and 636 px), its height between
// 420 and 2000 px. Closing only hides it; it lives until the program ends.
class SettingsWindowController {
public:
    // Shows the window on `section`, creating it on first use: selects the
    // section (titling the window), counts the window among the program's
    // windows unless it is counted already, starts the permission polling and
    // brings the window to the front.
    static void show(SettingsSection section);
    static bool isVisible();

    // The window and its permissions, once made.
    static QWidget* window();
    static SettingsPermissions* permissions();
    static SettingsSection section();

    // The probe the window is made with; the system's unless a test sets one
    // before the first show().
    static void setPermissionProbe(platform::PermissionProbe* probe);

    // The sidebar's width: the widest section title, with room for the
    // attention dot beside Permissions; never below 160.
    static int sidebarWidth();
};

} // namespace settings
