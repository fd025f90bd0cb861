#include "app/SettingsFile.h"

#include <QSettings>
#include <QStandardPaths>

namespace app {

QString settingsFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vexlin/VexlinCapture.conf");
}

std::unique_ptr<QSettings> openSettingsFile(const QString& path) {
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

} // namespace app
