#pragma once

#include "app/FileError.h"
#include "app/SettingsEnums.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <optional>

namespace app {

// A PNG of the image in a folder of its own ("Drag-" and a new UUID) in the
// temporary directory, named after the capture date, for dragging into other
// programs or sharing. Every call makes a new folder, so the same capture can
// be dragged any number of times. Nothing, and no folder left behind, when the
// encoding, the folder or the write fails.
std::optional<QString> writeDragFile(const QImage& image, const QDateTime& date, double scale);

// Drag files go to other programs, which may read them long after the drop,
// so they stay; the desktop may never clear the temporary directory either.
// Start-up removes our drag folders in tempFolder whose last change is more
// than three days before now. A folder counts as ours only when its name is
// "Drag-" and an upper-case UUID, it belongs to this user and it holds
// nothing but capture-named PNG files.
void removeOldDragFolders(const QString& tempFolder, const QDateTime& now);
// The same for QDir::tempPath() at the current time.
void removeOldDragFolders();
inline constexpr qint64 dragFolderKeepSeconds = 3 * 24 * 60 * 60;

// Writes encoded bytes into folder as "<capture name>.<ext>", or, when that is
// taken, "<capture name> (2).<ext>", "(3)" and so on: the first free number.
// The file is written completely under a temporary name and then published
// under the chosen name in a step that refuses taken names, so a file that
// appears meanwhile is never replaced and a failure leaves nothing behind.
Result<QString> writeUniqueFile(const QByteArray& bytes, const QString& folder,
                                const QDateTime& date, ImageFormat format);

// The error of a failed write of a new file `name` into folder: of the file
// where the file was the trouble (a full or read-only disk, no permission),
// of the folder where the folder was (missing, not a folder, closed).
FileError newFileError(const QString& folder, const QString& name, std::error_code error);

// Writes bytes over a file the user edited: atomically where the folder
// allows a temporary file beside it, else in place, keeping the old bytes
// until the new ones are all written. On failure the old file is unchanged.
// A read-only file is left alone (readOnlyFile): replacing it through its
// folder would work, but is not what marking it read-only asked for. A
// symbolic link is written through, so the link stays.
Result<Done> writeDataAtomicallyOrDirect(const QByteArray& bytes, const QString& path);

// The bytes of a file (a body for SaveLocation::withFolder).
Result<QByteArray> readData(const QString& path);

// Whether a file or folder exists at path.
bool fileExists(const QString& path);

} // namespace app
