#pragma once

#include "app/RecentFile.h"
#include "app/SaveLocation.h"
#include "delivery/RecentLibrary.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace app {
class Preferences;
}
namespace desktop {
class Scheduler;
class ScheduledCall;
} // namespace desktop

namespace delivery {

class FolderWatcher;

// The newest capture files of the save folder, listed for the editors'
// recent strip and their open-latest command, with the strip's thumbnails and
// video lengths.
//
// The folder is listed on a worker thread; of listings that overlap, only the
// latest one's result is published. While at least one editor is open the
// folder is watched, and a burst of changes in it lists it again once, 0.3 s
// after the last. A change of the save-folder setting lists the new folder
// while an editor is open. A folder that cannot be listed empties the list,
// marks the folder inaccessible and is let go, so the next listing starts over
// with whatever the setting names then. Main thread only.
class RecentCaptures : public RecentLibrary {
    Q_OBJECT
public:
    using Listing = std::function<std::optional<std::vector<app::RecentFile>>(const QString& folder,
                                                                              std::size_t limit)>;
    // What the model works with; an empty field takes the program's own.
    struct Services {
        // The debounce's clock (desktop::mainScheduler()).
        desktop::Scheduler* scheduler = nullptr;
        // Reads a folder, on a worker thread (app::listRecentFiles).
        Listing list;
        // Tells the user an operation failed (QApplication::beep).
        std::function<void()> beep;
    };

    // The program's one, made on first use.
    static RecentCaptures& shared();

    RecentCaptures();
    explicit RecentCaptures(Services services, QObject* parent = nullptr);
    ~RecentCaptures() override;

    // The most files a listing publishes.
    static constexpr std::size_t maxFiles = 60;
    // How long the folder must stay quiet before a change is listed.
    static constexpr int debounceMilliseconds = 300;

    // Newest first, at most maxFiles.
    const std::vector<app::RecentFile>& files() const override { return files_; }
    // Whether the save folder could be read; true while there is none.
    bool isAccessible() const override { return isAccessible_; }

    // The folder in use, once a listing or newestCapture found one.
    const std::optional<app::SaveLocation::Access>& access() const { return access_; }
    // Whether the folder is being watched for changes.
    bool isWatching() const { return watcher_ != nullptr; }

    // Open editor windows, which keep the folder watched.
    int openEditors() const { return openEditors_; }
    bool observesFolderSetting() const { return observesFolderSetting_; }
    // An editor window opened: one more, the folder setting observed from the
    // first one on, and the folder listed.
    void editorOpened();
    // An editor window closed: one fewer, never below 0. With none left the
    // folder is no longer watched (a listing under way still publishes).
    void editorClosed();

    // Lists the folder again at once, superseding every listing under way
    // and a pending debounced one.
    void refresh();

    // The newest image of the save folder (newer videos and GIFs passed
    // over), or none. `done` runs later, on the main thread. The list and
    // its state are left alone.
    void newestCapture(std::function<void(std::optional<QString> path)> done);

    // Made on a worker thread and kept until the file leaves the list (a file
    // changed in place is another file, with a new thumbnail). A thumbnail
    // fits the tile at `scale` and is never larger than the picture; a
    // video's is its first frame; HEIC files have none. A failure gives a
    // null image, caches nothing and is tried again at the next request.
    void thumbnail(const app::RecentFile& file, double scale, const QObject* context,
                   std::function<void(const QImage& image)> done) override;
    void duration(const app::RecentFile& file, const QObject* context,
                  std::function<void(std::optional<double> seconds)> done) override;
    void moveToTrash(const app::RecentFile& file) override;
    // A readable image goes on the clipboard as an image with its path; any
    // other file as the file itself, for file managers to paste.
    void copy(const app::RecentFile& file) override;

Q_SIGNALS:
    void openEditorsChanged();

private:
    struct FileHash {
        std::size_t operator()(const app::RecentFile& file) const;
    };
    template <typename Value> using FileMap = std::unordered_map<app::RecentFile, Value, FileHash>;

    std::optional<QString> currentFolder();
    void stopAccess();
    void reload(const QString& folder, std::int64_t generation);
    void published(std::int64_t generation,
                   const std::optional<std::vector<app::RecentFile>>& listed);
    void scheduleRefresh();
    void watchFolder(const QString& folder);
    void stopWatching();
    void observeFolderSetting();
    void folderSettingChanged();
    void setFiles(std::vector<app::RecentFile> files);
    void setAccessible(bool accessible);
    // Runs `work` on `pool` and `then` with its result back on the main thread
    // (not at all once this model is gone).
    template <typename Result>
    void inBackground(QThreadPool& pool, std::function<Result()> work,
                      std::function<void(Result)> then);

    Services services_;
    std::vector<app::RecentFile> files_;
    bool isAccessible_ = true;
    std::optional<app::SaveLocation::Access> access_;
    std::unique_ptr<FolderWatcher> watcher_;
    int openEditors_ = 0;
    std::unique_ptr<desktop::ScheduledCall> pendingRefresh_;
    std::int64_t listing_ = 0;
    FileMap<QImage> thumbnails_;
    FileMap<double> durations_;
    bool observesFolderSetting_ = false;
    QPointer<app::Preferences> observedPreferences_;
    QMetaObject::Connection folderSettingConnection_;
    // Listings wait for nothing else; pictures are decoded on every core.
    QThreadPool listingPool_;
    QThreadPool picturePool_;
};

} // namespace delivery
