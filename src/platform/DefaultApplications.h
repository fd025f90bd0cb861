#pragma once

#include "platform/DesktopEntries.h"

#include <QString>
#include <QStringList>

namespace platform {

// The name of the application that opens files of a MIME type by default,
// chosen as the freedesktop MIME-applications rules choose it: the first
// installed application named for the type under [Default Applications] in
// the mimeapps.list files, taken in order; else the first installed one that
// an applications folder's mimeinfo.cache lists for it. Empty when there is
// none. Main thread only.
QString defaultApplicationName(const QString& mimeType);

// The same over given files: `listFiles` are mimeapps.list files in order of
// precedence, `applicationFolders` the folders whose mimeinfo.cache counts,
// `entries` the installed applications.
QString defaultApplicationName(const QString& mimeType, const QStringList& listFiles,
                               const QStringList& applicationFolders,
                               const DesktopEntries& entries);

} // namespace platform
