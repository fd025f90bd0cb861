#pragma once

#include "app/FileError.h"
#include "app/Recording.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

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

// Saving a copy of a recording is not part of this version yet. Until it is,
// these say so and never pretend to have saved anything.

// Would copy the recording into folder under its capture name; for now the
// error that says saving is not available.
app::Result<QString> saveCopy(const app::Recording& recording, const QString& folder);

// Would ask for a file in a save panel and copy the recording there; for now
// the alert that says saving is not available (app::FilePanels), then
// completion with nothing. completion runs exactly once.
void saveAs(const app::Recording& recording, QWidget* window,
            const std::function<void(std::optional<QString> path)>& completion);

// The file to hand to sharing or dragging: the recording's own file.
QString shareCopy(const app::Recording& recording);

// The sentence both save operations report.
QString savingUnavailableText();

} // namespace recording
