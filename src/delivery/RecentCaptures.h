#pragma once

#include "app/RecentFile.h"
#include "delivery/RecentLibrary.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace delivery {

// The newest capture files of the save folder, listed for the editors'
// recent strip and their open-latest command.
//
// This version lists nothing yet: the list is empty, and reading the folder
// counts as possible, so an editor shows an empty strip rather than a
// complaint about the folder. The count of open editors and the flag that
// the folder setting is observed are kept as the listing needs them, so the
// editors' calls are final. Main thread only.
class RecentCaptures : public RecentLibrary {
    Q_OBJECT
public:
    static RecentCaptures& shared();

    // Newest first, at most 60.
    const std::vector<app::RecentFile>& files() const override { return files_; }
    // Whether the save folder could be read.
    bool isAccessible() const override { return isAccessible_; }

    // Open editor windows, which keep the folder watched.
    int openEditors() const { return openEditors_; }
    bool observesFolderSetting() const { return observesFolderSetting_; }
    // An editor window opened: one more, and the folder setting is observed
    // from the first one on.
    void editorOpened();
    // An editor window closed: one fewer, never below 0.
    void editorClosed();

    // Lists the folder again.
    void refresh();

    // The newest image of the save folder (newer videos and GIFs passed
    // over), or none. `done` runs later, on the main thread.
    void newestCapture(std::function<void(std::optional<QString> path)> done);

    void thumbnail(const app::RecentFile& file, double scale, const QObject* context,
                   std::function<void(const QImage& image)> done) override;
    void duration(const app::RecentFile& file, const QObject* context,
                  std::function<void(std::optional<double> seconds)> done) override;
    void moveToTrash(const app::RecentFile& file) override;
    void copy(const app::RecentFile& file) override;

Q_SIGNALS:
    void openEditorsChanged();

private:
    std::vector<app::RecentFile> files_;
    bool isAccessible_ = true;
    int openEditors_ = 0;
    bool observesFolderSetting_ = false;
};

} // namespace delivery
