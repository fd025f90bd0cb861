#include "recording/RecordingFiles.h"

#include "app/FilePanels.h"
#include "app/ImageFiles.h"
#include "app/SaveLocation.h"
#include "platform/SafeFile.h"
#include "platform/StreamWindows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QUuid>
#include <QWidget>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString sourcePath(const app::Recording& recording) {
    return recording.url.toLocalFile();
}

QString fullName(const app::Recording& recording) {
    return app::recordingFileName(recording) + QLatin1Char('.') +
           app::fileExtension(recording.format);
}

// An open file that closes itself.
class OpenFile {
public:
    explicit OpenFile(const QString& path)
        : fd_(::open(platform::pathBytes(path).constData(), O_RDONLY | O_CLOEXEC))
        , error_(fd_ < 0 ? errno : 0) {}
    ~OpenFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }
    std::error_code error() const { return {error_, std::generic_category()}; }

private:
    int fd_;
    int error_;
};

app::FileError readError(const QString& path, std::error_code error) {
    return error.value() == ENOENT ? app::FileError::noSuchFile(path)
                                   : app::FileError::readFailed(path, error);
}

// Both name the same file: the same inode on the same device, whatever links
// or symbolic links lead there.
bool sameFile(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(platform::pathBytes(a).constData(), &first) == 0 &&
           ::stat(platform::pathBytes(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Copies the recording over path, or says why not.
std::optional<app::FileError> copyOver(const QString& source, const QString& path) {
    if (sameFile(source, path)) {
        return std::nullopt;
    }
    const OpenFile from(source);
    if (from.fd() < 0) {
        return readError(source, from.error());
    }
    if (const std::error_code error =
            platform::SafeFile().replaceWith(path, platform::SafeFile::copyOf(from.fd()))) {
        return app::FileError::writeFailed(path, error);
    }
    return std::nullopt;
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

app::Result<QString> saveCopy(const app::Recording& recording, const QString& folder) {
    const QString source = sourcePath(recording);
    const OpenFile from(source);
    if (from.fd() < 0) {
        return readError(source, from.error());
    }
    const QString base = app::recordingFileName(recording);
    const QString extension = QLatin1Char('.') + app::fileExtension(recording.format);
    const auto nameFor = [&](int attempt) {
        return attempt == 1 ? base + extension
                            : base + QStringLiteral(" (%1)").arg(attempt) + extension;
    };
    const platform::SafeFile::Created created = platform::SafeFile().createUniqueWith(
        folder, platform::SafeFile::copyOf(from.fd()), nameFor);
    if (created.error) {
        return app::newFileError(folder, nameFor(1), created.error);
    }
    return created.path;
}

void saveAs(const app::Recording& recording, QWidget* window,
            const std::function<void(std::optional<QString> path)>& completion) {
    app::FilePanels::SaveRequest request;
    request.fileName = fullName(recording);
    request.type = recording.format == app::Recording::Format::gif
                       ? app::FilePanels::SaveType::gif
                       : app::FilePanels::SaveType::movie;
    if (const auto folder = app::SaveLocation::resolvedFolder()) {
        request.directory = folder->folder;
    }
    app::FilePanels& panels = app::FilePanels::current();
    const QPointer<QWidget> owner(window);
    panels.runSavePanel(
        request, window,
        [source = sourcePath(recording), owner, &panels, completion](std::optional<QString> path) {
            if (path) {
                if (const auto error = copyOver(source, *path)) {
                    panels.showError(owner, *error);
                    path.reset();
                }
            }
            if (completion) {
                completion(std::move(path));
            }
        });
}

QString shareCopy(const app::Recording& recording) {
    return shareCopy(recording, recordingsFolder());
}

QString shareCopy(const app::Recording& recording, const QString& shareRoot) {
    const QString source = sourcePath(recording);
    const QString folder = shareRoot + QStringLiteral("/Share-") +
                           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (platform::SafeFile::createFolder(folder)) {
        return source;
    }
    const QString link = folder + QLatin1Char('/') + fullName(recording);
    if (::link(platform::pathBytes(source).constData(), platform::pathBytes(link).constData()) !=
        0) {
        // The folder was made for this one link.
        ::rmdir(platform::pathBytes(folder).constData());
        return source;
    }
    return link;
}

std::set<QString> excludedAppIDs(const QStringList& hiddenApps, bool hideNotifications) {
    std::set<QString> ids;
    for (const QString& id : hiddenApps) {
        if (!id.isEmpty()) {
            ids.insert(id);
        }
    }
    if (hideNotifications) {
        ids.insert(platform::notificationAppId());
    }
    return ids;
}

} // namespace recording
