#include "platform/DefaultApplications.h"

#include <QDir>
#include <QFile>

namespace platform {

namespace {

// The desktop file ids that `group` of an ini-like file gives the type.
QStringList idsFor(const QString& path, QLatin1String group, const QString& mimeType) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line.mid(1, line.size() - 2) == group;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inGroup || equals <= 0 || line.left(equals).trimmed() != mimeType) {
            continue;
        }
        QStringList ids;
        for (const QString& id : line.mid(equals + 1).split(u';', Qt::SkipEmptyParts)) {
            QString trimmed = id.trimmed();
            if (trimmed.endsWith(QLatin1String(".desktop"))) {
                trimmed.chop(8);
            }
            ids.append(trimmed);
        }
        return ids;
    }
    return {};
}

QString firstInstalled(const QStringList& ids, const DesktopEntries& entries) {
    for (const QString& id : ids) {
        for (const DesktopEntries::Entry& entry : entries.entries()) {
            if (entry.id == id) {
                return entry.name;
            }
        }
    }
    return {};
}

QStringList configFolders() {
    QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (home.isEmpty()) {
        home = QDir::homePath() + QStringLiteral("/.config");
    }
    QStringList folders{home};
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty()) {
        dirs = QStringLiteral("/etc/xdg");
    }
    folders.append(dirs.split(u':', Qt::SkipEmptyParts));
    return folders;
}

} // namespace

QString defaultApplicationName(const QString& mimeType, const QStringList& listFiles,
                               const QStringList& applicationFolders,
                               const DesktopEntries& entries) {
    for (const QString& list : listFiles) {
        const QString name =
            firstInstalled(idsFor(list, QLatin1String("Default Applications"), mimeType), entries);
        if (!name.isEmpty()) {
            return name;
        }
    }
    for (const QString& folder : applicationFolders) {
        const QString name = firstInstalled(idsFor(folder + QStringLiteral("/mimeinfo.cache"),
                                                   QLatin1String("MIME Cache"), mimeType),
                                            entries);
        if (!name.isEmpty()) {
            return name;
        }
    }
    return {};
}

QString defaultApplicationName(const QString& mimeType) {
    const QStringList applications = DesktopEntries::applicationFolders();
    QStringList lists;
    for (const QString& folder : configFolders()) {
        lists.append(folder + QStringLiteral("/mimeapps.list"));
    }
    for (const QString& folder : applications) {
        lists.append(folder + QStringLiteral("/mimeapps.list"));
    }
    return defaultApplicationName(mimeType, lists, applications, DesktopEntries::current());
}

} // namespace platform
