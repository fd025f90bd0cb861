#pragma once

#include "app/RecentFile.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <vector>

namespace app {

// Stands in for the listing of the save folder's newest captures until it is
// built: the list is empty, and reading the folder counts as possible, so an
// editor shows an empty strip rather than a complaint about the folder. The
// count of open editors and the flag that the folder setting is observed are
// already kept as the listing needs them, so the editors' calls are final.
// Main thread only.
class RecentCaptures : public QObject {
    Q_OBJECT
public:
    static RecentCaptures& shared();

    // Newest first; always empty in this version.
    const std::vector<RecentFile>& files() const { return files_; }
    // Whether the save folder could be read.
    bool isAccessible() const { return isAccessible_; }

    // Open editor windows, which keep the folder watched.
    int openEditors() const { return openEditors_; }
    bool observesFolderSetting() const { return observesFolderSetting_; }
    // An editor window opened: one more, and the folder setting is observed
    // from the first one on.
    void editorOpened();
    // An editor window closed: one fewer, never below 0.
    void editorClosed();

    // Lists the folder again; with nothing to list, nothing changes.
    void refresh();

Q_SIGNALS:
    void filesChanged();
    void isAccessibleChanged();
    void openEditorsChanged();

private:
    std::vector<RecentFile> files_;
    bool isAccessible_ = true;
    int openEditors_ = 0;
    bool observesFolderSetting_ = false;
};

} // namespace app
