#include "recording/RecordingFiles.h"

#include "app/FilePanels.h"

#include <QCoreApplication>

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

QString savingUnavailableText() {
    //: Alert text when a recording is saved from Quick Access before saving recordings exists.
    return QCoreApplication::translate("RecordingFiles", "Saving recordings isn’t available yet.");
}

app::Result<QString> saveCopy(const app::Recording& /*recording*/, const QString& /*folder*/) {
    return app::FileError::notAvailable(savingUnavailableText());
}

void saveAs(const app::Recording& /*recording*/, QWidget* window,
            const std::function<void(std::optional<QString> path)>& completion) {
    app::FilePanels::current().showError(window,
                                         app::FileError::notAvailable(savingUnavailableText()));
    if (completion) {
        completion(std::nullopt);
    }
}

QString shareCopy(const app::Recording& recording) {
    return recording.url.toLocalFile();
}

} // namespace recording
