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
    const QString path = QString::fromUtf8(*bookmark);
    // Bytes that are no absolute path (or not UTF-8 at all) do not resolve;
    // they stay stored, as an unresolvable bookmark does.
    if (path.isEmpty() || !QDir::isAbsolutePath(path) || path.toUtf8() != *bookmark) {
        return std::nullopt;
    }
    return Resolved{QDir::cleanPath(path), false};
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

Result<QString> SaveLocation::prepareFolder() {
    if (!resolvedFolder() && !chooseFolder()) {
        return FileError::userCancelled();
    }
    const std::optional<Resolved> resolved = resolvedFolder();
    if (!resolved) {
        return FileError::noSuchFile(QString());
    }
    if (const std::error_code error = platform::SafeFile::createFolder(resolved->folder)) {
        return FileError::writeFailed(resolved->folder, error);
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
    preferences().setSaveFolderBookmark(QDir::cleanPath(folder).toUtf8());
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
