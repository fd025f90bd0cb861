#include "service/StoredValue.h"

#include "app/SettingsFile.h"

#include <QFile>

namespace service {

std::optional<QString> storedText(const QString& settingsPath, const QString& key) {
    QFile file(settingsPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    std::optional<QByteArray> raw = app::settingsFile::rawValue(file.readAll(), key);
    if (!raw) {
        return std::nullopt;
    }
    QByteArray value = raw->trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
        value = value.mid(1, value.size() - 2);
    }
    return QString::fromUtf8(value);
}

std::optional<bool> storedBool(const QString& settingsPath, const QString& key) {
    const std::optional<QString> text = storedText(settingsPath, key);
    if (text == QLatin1String("true")) {
        return true;
    }
    if (text == QLatin1String("false")) {
        return false;
    }
    return std::nullopt;
}

} // namespace service
