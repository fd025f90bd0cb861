#include "settings/LaunchAtLogin.h"

#include "app/FileError.h"
#include "app/FilePanels.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <system_error>

namespace settings {

namespace {

std::error_code errorOf(QFileDevice::FileError error) {
    switch (error) {
    case QFileDevice::PermissionsError:
        return std::make_error_code(std::errc::permission_denied);
    case QFileDevice::ResourceError:
        return std::make_error_code(std::errc::no_space_on_device);
    default:
        return std::make_error_code(std::errc::io_error);
    }
}

void tell(const app::FileError& error) {
    app::FilePanels::current().showError(nullptr, error);
}

// The value of `key` in the [Desktop Entry] group; nothing when the file has
// no such group.
std::optional<QString> entryValue(const QByteArray& bytes, const QByteArray& key) {
    bool inEntry = false;
    bool sawGroup = false;
    std::optional<QString> value;
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            sawGroup = sawGroup || inEntry;
            continue;
        }
        const int equals = line.indexOf('=');
        if (inEntry && equals > 0 && line.left(equals).trimmed() == key) {
            value = QString::fromUtf8(line.mid(equals + 1).trimmed());
        }
    }
    if (!sawGroup) {
        return std::nullopt;
    }
    return value.value_or(QString());
}

} // namespace

QString launchAtLoginEntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/vexlin-capture.desktop");
}

bool isLaunchAtLoginEnabled() {
    QFile file(launchAtLoginEntryPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.read(64 * 1024);
    const std::optional<QString> type = entryValue(bytes, "Type");
    const std::optional<QString> exec = entryValue(bytes, "Exec");
    if (!type || *type != QLatin1String("Application") || !exec || exec->isEmpty()) {
        return false;
    }
    const auto isTrue = [&](const QByteArray& key, const char* word) {
        const std::optional<QString> value = entryValue(bytes, key);
        return value && value->compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    };
    return !isTrue("Hidden", "true") && !isTrue("X-GNOME-Autostart-enabled", "false");
}

QString desktopEntryExec(const QString& program) {
    // Inside double quotes the characters ", `, $ and \ take a backslash; the
    // value as a whole is then a string, whose own escape turns every
    // backslash into two. A literal % is written %%, in quotes or not.
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
    }
    QString value;
    for (const QChar c : quoted) {
        if (c == QLatin1Char('\\')) {
            value += QLatin1String("\\\\");
        } else if (c == QLatin1Char('%')) {
            value += QLatin1String("%%");
        } else if (c == QLatin1Char('\n')) {
            value += QLatin1String("\\n");
        } else {
            value += c;
        }
    }
    return QLatin1Char('"') + value + QLatin1Char('"');
}

void setLaunchAtLogin(bool enabled) {
    const QString path = launchAtLoginEntryPath();
    if (!enabled) {
        QFile file(path);
        if (file.exists() && !file.remove()) {
            tell(app::FileError::writeFailed(path, errorOf(file.error())));
        }
        return;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        tell(app::FileError::writeFailed(path, std::make_error_code(std::errc::permission_denied)));
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        tell(app::FileError::writeFailed(path, errorOf(file.error())));
        return;
    }
    const QString entry =
        QStringLiteral("[Desktop Entry]\nType=Application\nName=Vexlin Capture\nExec=%1\n"
                       "X-GNOME-Autostart-enabled=true\n")
            .arg(desktopEntryExec(QCoreApplication::applicationFilePath()));
    file.write(entry.toUtf8());
    if (!file.commit()) {
        tell(app::FileError::writeFailed(path, errorOf(file.error())));
    }
}

} // namespace settings
