#pragma once

#include "app/FileError.h"
#include "app/Recording.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <set>

class QWidget;

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

// Copies the recording into folder as "<recording name>.<ext>", or, when that
// is taken, "<recording name> (2).<ext>", "(3)" and so on. The copy is made
// complete under no name and published in a step that refuses taken names,
// so an existing file is never replaced and a failed copy leaves nothing.
// Gives the new file's path.
app::Result<QString> saveCopy(const app::Recording& recording, const QString& folder);

// Asks for a file in a save panel (app::FilePanels; modal to window when there
// is one) offering only the recording's type, proposing its name and opening
// in the save folder, then copies the recording there. The copy is written
// beside the chosen file and then renamed over it, so a failed copy leaves an
// existing file as it was; choosing the recording itself leaves it alone and
// counts as saved. A failure is shown in an alert. completion runs exactly
// once, with the saved path or nothing (cancelled or failed).
void saveAs(const app::Recording& recording, QWidget* window,
            const std::function<void(std::optional<QString> path)>& completion);

// The file to hand to sharing or dragging: a hard link to the recording named
// "<recording name>.<ext>" in a new folder "Share-<UUID>" of shareRoot (by
// default the recordings folder, which expires it with the recordings), so it
// carries a readable name without copying the data. Where no link can be made
// (another volume, a file system without links) the recording's own file.
QString shareCopy(const app::Recording& recording);
QString shareCopy(const app::Recording& recording, const QString& shareRoot);

// The application ids a recording keeps out of the picture: the non-empty ids
// of hiddenApps, and platform::notificationAppId() (which stands for the
// notification banners) when notifications are hidden.
std::set<QString> excludedAppIDs(const QStringList& hiddenApps, bool hideNotifications);

} // namespace recording
