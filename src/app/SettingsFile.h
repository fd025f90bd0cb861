#pragma once

#include <QString>

#include <memory>

class QSettings;

namespace app {

// The one settings file of the program: INI at
// $XDG_CONFIG_HOME/Vexlin/VexlinCapture.conf. Besides the settings store, a
// few subsystems keep keys of their own in it ("customAnnotationColors",
// "reviewSent", the update keys).
QString settingsFilePath();

// A QSettings in INI format over the given file (by default the program's).
std::unique_ptr<QSettings> openSettingsFile(const QString& path = settingsFilePath());

} // namespace app
