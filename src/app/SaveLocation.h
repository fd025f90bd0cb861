#pragma once

#include "app/FileError.h"
#include "app/ScopedReplacement.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace app {

class Preferences;

// The save folder: the only way into the folder where captures are written.
// It is kept in Preferences::saveFolderBookmark as the bytes of the folder's
// absolute path (UTF-8 for every path a person can type) and read afresh by
// every operation; bytes that are not UTF-8 reach the file system unchanged
// (platform::pathText/pathBytes). There is no default folder: an
// operation that works in the folder asks for one while none is stored, and
// the user's cancelling travels as FileError::userCancelled, which callers
// never show. Main thread only.
class SaveLocation {
public:
    // A folder in use. Linux has no sandbox, so access is never scoped and
    // the holder has nothing to stop; the field keeps the record's shape.
    struct Access {
        QString url;
        bool isScoped = false;
    };

    struct Resolved {
        QString folder;
        // A path record never goes stale; kept for the record's shape.
        bool isStale = false;
    };

    // The stored folder, or nothing when none is stored or the stored bytes
    // are not an absolute path (which counts as no folder).
    static std::optional<Resolved> resolvedFolder();

    // The stored folder, created if missing, for a longer piece of work such
    // as a listing; nothing without a folder (no chooser is shown).
    static std::optional<Access> beginAccess();

    // Resolves the folder, asking for one while none is stored, creates it
    // with any missing parents, and runs body with its path. The body does
    // not run when there is no folder (userCancelled if the user cancelled
    // the chooser, noSuchFile if the choice still does not resolve), when
    // something other than a folder is there (notAFolder) or when the folder
    // cannot be created (folderNotWritable).
    template <typename Body> static auto withFolder(Body&& body) -> decltype(body(QString())) {
        const Result<QString> folder = prepareFolder();
        if (!folder) {
            return folder.error();
        }
        return body(folder.value());
    }

    // Opens the folder in the file manager (asking for one first while none
    // is stored); true when the file manager was started.
    static Result<bool> openFolder();

    // The tray menu's Show Screenshots Folder: openFolder, telling the user
    // what went wrong. Cancelling the chooser is silent; a folder that no
    // program could open gets an alert naming it; any other failure beeps.
    static void showFolder();

    // Shows the folder chooser, starting in the current folder; true when a
    // folder was chosen and remembered.
    static bool chooseFolder();

    // Stores folder as the save folder; false (and nothing changed) for a
    // path that is not absolute.
    static bool remember(const QString& folder);

    // Whether file lies directly in the save folder (not in a subfolder).
    static bool contains(const QString& file);

    static bool isUserCancellation(const FileError& error) {
        return error.code() == FileError::Code::userCancelled;
    }

    // The store and the file-manager opener that the operations use. The
    // program uses the shared store and the desktop's file manager; tests put
    // their own in place with ScopedServices.
    struct Services {
        Preferences* preferences = nullptr;
        std::function<bool(const QString& folder)> openInFileManager;
    };
    class ScopedServices : public ScopedReplacement<std::optional<Services>> {
    public:
        explicit ScopedServices(Services services)
            : ScopedReplacement(replacement(), std::move(services)) {}
    };

    // The settings store the save operations read.
    static Preferences& preferences();

    // Why folder cannot be the save folder, after creating it if it is
    // missing; nothing when it is a folder (or a link to one).
    static std::optional<FileError> folderProblem(const QString& folder);

private:
    static Result<QString> prepareFolder();
    static bool openInFileManager(const QString& folder);
    static std::optional<Services>& replacement();
};

} // namespace app
