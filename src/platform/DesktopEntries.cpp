#include "platform/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <optional>

namespace platform {

namespace {

// The [Desktop Entry] group's keys as written (localised keys keep their
// "[xx]"), values with the string escapes resolved.
QHash<QString, QString> readEntryGroup(const QString& path) {
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return keys;
    }
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            if (inGroup) {
                break; // the group ends where the next begins
            }
            inGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inGroup) {
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        if (keys.contains(key)) {
            continue; // a repeated key: the first one holds
        }
        const QString raw = line.mid(equals + 1).trimmed();
        QString value;
        value.reserve(raw.size());
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != u'\\' || i + 1 == raw.size()) {
                value += raw[i];
                continue;
            }
            const QChar next = raw[++i];
            switch (next.unicode()) {
            case 's':
                value += u' ';
                break;
            case 'n':
                value += u'\n';
                break;
            case 't':
                value += u'\t';
                break;
            case 'r':
                value += u'\r';
                break;
            default:
                value += next;
                break;
            }
        }
        keys.insert(key, value);
    }
    return keys;
}

// Name in the locale's language ("de_DE": Name[de_DE], then Name[de]), else Name.
QString localisedName(const QHash<QString, QString>& keys, const QString& locale) {
    if (!locale.isEmpty() && locale != QLatin1String("C")) {
        const QString language = locale.section(u'_', 0, 0);
        for (const QString& variant : {locale, language}) {
            const auto it = keys.constFind(QStringLiteral("Name[%1]").arg(variant));
            if (it != keys.constEnd() && !it->isEmpty()) {
                return *it;
            }
        }
    }
    return keys.value(QStringLiteral("Name"));
}

// The folders and their modification times, which current() watches.
struct Snapshot {
    QStringList folders;
    QString locale;
    QList<QDateTime> modified;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

Snapshot snapshotNow() {
    Snapshot snapshot;
    snapshot.folders = DesktopEntries::applicationFolders();
    snapshot.locale = QLocale::system().name();
    for (const QString& folder : snapshot.folders) {
        snapshot.modified.append(QFileInfo(folder).lastModified());
    }
    return snapshot;
}

} // namespace

QStringList DesktopEntries::applicationFolders() {
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty() || QDir::isRelativePath(home)) {
        home = QDir::homePath() + QStringLiteral("/.local/share");
    }
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty()) {
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    }
    QStringList folders{home + QStringLiteral("/applications")};
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir)) {
            const QString folder = QDir::cleanPath(dir) + QStringLiteral("/applications");
            if (!folders.contains(folder)) {
                folders.append(folder);
            }
        }
    }
    return folders;
}

DesktopEntries::DesktopEntries(const QStringList& folders, const QString& locale) {
    QSet<QString> seenIds;
    for (const QString& folder : folders) {
        const QString root = QDir(folder).absolutePath();
        QStringList files;
        QDirIterator it(root, {QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable,
                        QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext()) {
            files.append(it.next());
        }
        // Within one folder, in the order of the ids, so that a tie between
        // two matching files always goes the same way.
        std::sort(files.begin(), files.end());
        for (const QString& path : files) {
            QString id = path.mid(root.size() + 1);
            id.chop(static_cast<qsizetype>(qstrlen(".desktop")));
            id.replace(u'/', u'-');
            if (seenIds.contains(id)) {
                continue;
            }
            seenIds.insert(id);
            const QHash<QString, QString> keys = readEntryGroup(path);
            if (keys.value(QStringLiteral("Hidden")) == QLatin1String("true")) {
                continue; // deleted, here and in every later folder
            }
            const QString type = keys.value(QStringLiteral("Type"));
            const QString name = localisedName(keys, locale);
            if (type != QLatin1String("Application") || name.isEmpty()) {
                continue;
            }
            entries_.push_back({id, name, keys.value(QStringLiteral("StartupWMClass")),
                                keys.value(QStringLiteral("Icon"))});
        }
    }
    // Earlier entries win over later ones with the same key: filled from the
    // back, so that the first one is written last.
    for (int i = static_cast<int>(entries_.size()) - 1; i >= 0; --i) {
        const Entry& entry = entries_[static_cast<std::size_t>(i)];
        if (!entry.startupWMClass.isEmpty()) {
            byWMClass.insert(entry.startupWMClass.toLower(), i);
        }
        byId.insert(entry.id.toLower(), i);
    }
}

const DesktopEntries::Entry* DesktopEntries::forWindowClass(const QString& className,
                                                            const QString& instanceName) const {
    const auto find = [this](const QHash<QString, int>& table, const QString& key) -> const Entry* {
        if (key.isEmpty()) {
            return nullptr;
        }
        const auto it = table.constFind(key.toLower());
        return it == table.constEnd() ? nullptr : &entries_[static_cast<std::size_t>(*it)];
    };
    for (const auto* table : {&byWMClass, &byId}) {
        for (const QString& key : {className, instanceName}) {
            if (const Entry* entry = find(*table, key)) {
                return entry;
            }
        }
    }
    return nullptr;
}

QString DesktopEntries::applicationName(const QString& className,
                                        const QString& instanceName) const {
    const Entry* entry = forWindowClass(className, instanceName);
    return entry != nullptr ? entry->name : className;
}

const DesktopEntries& DesktopEntries::current() {
    static std::optional<Snapshot> read;
    static std::unique_ptr<DesktopEntries> table;
    Snapshot now = snapshotNow();
    if (!table || !read || !(*read == now)) {
        table = std::make_unique<DesktopEntries>(now.folders, now.locale);
        read = std::move(now);
    }
    return *table;
}

} // namespace platform
