#include "app/ImageFiles.h"

#include "app/CaptureFileName.h"
#include "app/ImageEncoding.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

std::optional<QString> writeDragFile(const QImage& image, const QDateTime& date, double scale) {
    const std::optional<QByteArray> png = encodeImage(image, ImageFormat::png, scale);
    if (!png) {
        return std::nullopt;
    }
    // Empty when TMPDIR names no folder; the drag folder must not end up in /.
    const QString temporary = QDir::tempPath();
    if (temporary.isEmpty()) {
        return std::nullopt;
    }
    const QString folder = temporary + QStringLiteral("/Drag-") +
                           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    // The temporary folder is shared: made here and now, for this user
    // alone, or not at all (mkdir takes nothing that already stands there,
    // a link included).
    if (::mkdir(platform::pathBytes(folder).constData(), 0700) != 0) {
        return std::nullopt;
    }
    const QString path = folder + QLatin1Char('/') + captureFileName(date) + QStringLiteral(".png");
    if (platform::SafeFile().replace(path, *png)) {
        // The folder was made for this one file.
        QDir(folder).removeRecursively();
        return std::nullopt;
    }
    return path;
}

namespace {

bool isOurDragFolder(const QFileInfo& folder) {
    static const QRegularExpression name(
        QStringLiteral("^Drag-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    static const QRegularExpression file(QStringLiteral("^Vexlin Capture .*\\.png$"));
    if (!name.match(folder.fileName()).hasMatch() || !folder.isDir() || folder.isSymLink() ||
        folder.ownerId() != ::geteuid()) {
        return false;
    }
    const QFileInfoList entries =
        QDir(folder.absoluteFilePath())
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    return std::all_of(entries.begin(), entries.end(), [](const QFileInfo& entry) {
        return entry.isFile() && !entry.isSymLink() && file.match(entry.fileName()).hasMatch();
    });
}

} // namespace

void removeOldDragFolders(const QString& tempFolder, const QDateTime& now) {
    QDirIterator folders(tempFolder, {QStringLiteral("Drag-*")},
                         QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (folders.hasNext()) {
        folders.next();
        const QFileInfo folder = folders.fileInfo();
        const QDateTime changed = folder.lastModified();
        if (changed.isValid() && changed.secsTo(now) > dragFolderKeepSeconds &&
            isOurDragFolder(folder)) {
            QDir(folder.absoluteFilePath()).removeRecursively();
        }
    }
}

void removeOldDragFolders() {
    if (const QString temporary = QDir::tempPath(); !temporary.isEmpty()) {
        removeOldDragFolders(temporary, QDateTime::currentDateTimeUtc());
    }
}

FileError newFileError(const QString& folder, const QString& name, std::error_code error) {
    switch (error.value()) {
    case ENOSPC:
    case EDQUOT:
    case EROFS:
    case EACCES:
    case EPERM:
    case EIO:
    case EFBIG:
        return FileError::writeFailed(folder + QLatin1Char('/') + name, error);
    default:
        break;
    }
    const QByteArray bytes = platform::pathBytes(folder);
    struct stat link {};
    if (::lstat(bytes.constData(), &link) != 0) {
        return FileError::noSuchFile(folder);
    }
    struct stat target {};
    if (::stat(bytes.constData(), &target) != 0 || !S_ISDIR(target.st_mode)) {
        return FileError::notAFolder(folder);
    }
    return FileError::folderNotWritable(folder, error);
}

Result<QString> writeUniqueFile(const QByteArray& bytes, const QString& folder,
                                const QDateTime& date, ImageFormat format) {
    const QString base = captureFileName(date);
    const QString extension = QLatin1Char('.') + fileExtension(format);
    const auto nameFor = [&](int attempt) {
        return attempt == 1 ? base + extension
                            : base + QStringLiteral(" (%1)").arg(attempt) + extension;
    };
    const platform::SafeFile::Created created =
        platform::SafeFile().createUnique(folder, bytes, nameFor);
    if (created.error) {
        return newFileError(folder, nameFor(1), created.error);
    }
    return created.path;
}

Result<Done> writeDataAtomicallyOrDirect(const QByteArray& bytes, const QString& given) {
    const QFileInfo info(given);
    const QString path = info.isSymLink() && info.exists() ? info.canonicalFilePath() : given;
    const QByteArray name = platform::pathBytes(path);
    struct stat existing {};
    if (::stat(name.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        // No write permission for anyone counts even for root, who may write
        // anything: the user marked the file as not to be changed.
        if ((existing.st_mode & 0222) == 0 ||
            (::access(name.constData(), W_OK) != 0 && errno != EROFS)) {
            return FileError::readOnlyFile(given);
        }
    }
    const platform::SafeFile file;
    if (!file.replace(path, bytes)) {
        return Done{};
    }
    // The folder may refuse a temporary file beside the target while the
    // target itself is writable.
    if (const std::error_code error = file.overwriteInPlace(path, bytes)) {
        return FileError::writeFailed(path, error);
    }
    return Done{};
}

Result<QByteArray> readData(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists()) {
            return FileError::noSuchFile(path);
        }
        return FileError::readFailed(path, std::error_code(EACCES, std::generic_category()));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return FileError::readFailed(path, std::error_code(EIO, std::generic_category()));
    }
    return bytes;
}

bool fileExists(const QString& path) {
    return QFileInfo::exists(path);
}

} // namespace app
