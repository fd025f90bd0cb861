#pragma once

#include <QDateTime>
#include <QString>

namespace recording {

// $XDG_CACHE_HOME/Vexlin/Recordings: the working copies of recordings and
// their temporary share folders.
QString recordingsFolder();

// Deletes the items of the recordings folder (files and folders alike) last
// modified more than seven days before now. A missing folder and items that
// cannot be deleted are left as they are; nothing is reported. A symbolic link
// is removed itself, never what it points to.
void removeExpiredRecordings();
void removeExpiredRecordings(const QString& folder, const QDateTime& now);

} // namespace recording
