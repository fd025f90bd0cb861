#include "recording/RecordingFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace recording {

namespace {
constexpr qint64 kKeepSeconds = 604800; // seven days

// The item's own modification date; for a symbolic link that of the link, so
// that a dangling link ages like any other item.
QDateTime modificationDate(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return {};
    }
    return QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec, Qt::UTC);
}
} // namespace

QString recordingsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Vexlin/Recordings");
}

void removeExpiredRecordings() {
    removeExpiredRecordings(recordingsFolder(), QDateTime::currentDateTimeUtc());
}

void removeExpiredRecordings(const QString& folder, const QDateTime& now) {
    const QDir dir(folder);
    if (!dir.exists()) {
        return;
    }
    const QFileInfoList items =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& item : items) {
        const QDateTime modified = modificationDate(item.absoluteFilePath());
        if (!modified.isValid() || modified.secsTo(now) <= kKeepSeconds) {
            continue;
        }
        if (item.isDir() && !item.isSymLink()) {
            QDir(item.absoluteFilePath()).removeRecursively();
        } else {
            QFile::remove(item.absoluteFilePath());
        }
    }
}

} // namespace recording
