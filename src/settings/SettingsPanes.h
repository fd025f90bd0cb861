#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace app {
class Preferences;
}
namespace platform {
class PermissionProbe;
}

namespace settings {

class SettingsPermissions;
struct ServiceSectionModels;

// The panes of the settings window. Each control writes its setting through
// at once; nothing is applied later.
QWidget* makeGeneralPane(app::Preferences& preferences, QWidget* parent = nullptr);
// The General pane over other models of the web service's sections (tests).
QWidget* makeGeneralPane(app::Preferences& preferences, const ServiceSectionModels& services,
                         QWidget* parent = nullptr);
QWidget* makeScreenshotsPane(app::Preferences& preferences, platform::PermissionProbe& probe,
                             QWidget* parent = nullptr);
QWidget* makeRecordingPane(app::Preferences& preferences, QWidget* parent = nullptr);
QWidget* makeQuickAccessPane(app::Preferences& preferences, QWidget* parent = nullptr);
QWidget* makeRecordingOverlaysPane(app::Preferences& preferences, platform::PermissionProbe& probe,
                                   QWidget* parent = nullptr);
QWidget* makePermissionsPane(SettingsPermissions& permissions, QWidget* parent = nullptr);

// The save folder as the General pane shows it: "~" for the home folder
// itself and "~/…" below it; any other path in full.
QString displayPath(const QString& folder, const QString& home);
// The user's home folder from the password database, else QDir::homePath().
QString homeFolder();

// The highest refresh rate among the connected screens, rounded; 60 with none.
int maximumFramesPerSecond();

} // namespace settings
