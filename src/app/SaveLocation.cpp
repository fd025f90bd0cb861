#include "app/SaveLocation.h"

#include "app/FilePanels.h"
#include "app/Preferences.h"
#include "app/Workspace.h"
#include "platform/MainThread.h"
#include "platform/SafeFile.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <sys/stat.h>

namespace app {

std::optional<SaveLocation::Services>& SaveLocation::replacement() {
    static std::optional<Services> services;
    return services;
}

Preferences& SaveLocation::preferences() {
    if (replacement() && replacement()->preferences) {
        return *replacement()->preferences;
    }
    return Preferences::shared();
}

std::optional<SaveLocation::Resolved> SaveLocation::resolvedFolder() {
    platform::assertMainThread();
    const std::optional<QByteArray> bookmark = preferences().saveFolderBookmark();
    if (!bookmark) {
        return std::nullopt;
    }
    // The path's bytes as they are, UTF-8 or not: the folder is the one the
    // bytes name. Bytes that are no absolute path do not resolve; they stay
    // stored, as an unresolvable bookmark does.
    if (!bookmark->startsWith('/') || bookmark->contains('\0')) {
        return std::nullopt;
    }
    return Resolved{QDir::cleanPath(platform::pathText(*bookmark)), false};
}

std::optional<SaveLocation::Access> SaveLocation::beginAccess() {
    const std::optional<Resolved> resolved = resolvedFolder();
    if (!resolved) {
        return std::nullopt;
    }
    // A folder that cannot be made shows up as empty to the listing.
    [[maybe_unused]] const std::error_code ignored =
        platform::SafeFile::createFolder(resolved->folder);
    return Access{resolved->folder, false};
}

std::optional<FileError> SaveLocation::folderProblem(const QString& folder) {
    const QByteArray bytes = platform::pathBytes(folder);
    struct stat link {};
    if (::lstat(bytes.constData(), &link) == 0) {
        // Something is there: it has to be a folder or a link to one. A file,
        // a device or a link to nothing cannot hold captures.
        struct stat target {};
        if (::stat(bytes.constData(), &target) != 0 || !S_ISDIR(target.st_mode)) {
            return FileError::notAFolder(folder);
        }
        return std::nullopt;
    }
    if (const std::error_code error = platform::SafeFile::createFolder(folder)) {
        return FileError::folderNotWritable(folder, error);
    }
    return std::nullopt;
}

Result<QString> SaveLocation::prepareFolder() {
    if (!resolvedFolder() && !chooseFolder()) {
        return FileError::userCancelled();
    }
    const std::optional<Resolved> resolved = resolvedFolder();
    if (!resolved) {
        return FileError::noSuchFile(QString());
    }
    if (std::optional<FileError> problem = folderProblem(resolved->folder)) {
        return *std::move(problem);
    }
    return resolved->folder;
}

bool SaveLocation::openInFileManager(const QString& folder) {
    if (replacement() && replacement()->openInFileManager) {
        return replacement()->openInFileManager(folder);
    }
    return Workspace::openUrl(QUrl::fromLocalFile(folder));
}

Result<bool> SaveLocation::openFolder() {
    return withFolder(
        [](const QString& folder) -> Result<bool> { return openInFileManager(folder); });
}

void SaveLocation::showFolder() {
    const Result<Done> shown = withFolder([](const QString& folder) -> Result<Done> {
        if (!openInFileManager(folder)) {
            return FileError::cannotOpenFolder(folder);
        }
        return Done{};
    });
    if (shown || isUserCancellation(shown.error())) {
        return;
    }
    if (shown.error().code() == FileError::Code::cannotOpenFolder) {
        FilePanels::current().showError(nullptr, shown.error());
    } else {
        QApplication::beep();
    }
}

bool SaveLocation::chooseFolder() {
    platform::assertMainThread();
    std::optional<QString> start;
    if (const std::optional<Resolved> resolved = resolvedFolder()) {
        start = resolved->folder;
    }
    const std::optional<QString> chosen = FilePanels::current().chooseFolder(start);
    return chosen && remember(*chosen);
}

bool SaveLocation::remember(const QString& folder) {
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder)) {
        return false;
    }
    preferences().setSaveFolderBookmark(platform::pathBytes(QDir::cleanPath(folder)));
    return true;
}

bool SaveLocation::contains(const QString& file) {
    const std::optional<Resolved> resolved = resolvedFolder();
    if (!resolved) {
        return false;
    }
    return QDir::cleanPath(QFileInfo(file).absolutePath()) == resolved->folder;
}

} // namespace app
