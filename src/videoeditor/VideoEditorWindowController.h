#pragma once

#include "app/Recording.h"
#include "videoeditor/VideoEditorModel.h"
#include "videoeditor/VideoEditorRules.h"
#include "videoeditor/VideoEditorWindow.h"
#include "videoeditor/VideoExport.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace app {
class Preferences;
}

namespace videoeditor {

class VideoEditorView;
class VideoPlayer;

// One open video editor: a window that plays a finished video recording,
// trims its start and end, and copies, saves, saves as or shares it as a
// video (trimmed, with or without sound) or a GIF. Open editors stay in a
// list until their windows close; an export that is still running keeps its
// editor alive for Copy and Save. Main thread only.
class VideoEditorWindowController
    : public QObject,
      public std::enable_shared_from_this<VideoEditorWindowController> {
    Q_OBJECT
public:
    // Opens a new window for a video recording (also one already open); a
    // GIF recording opens nothing.
    static void open(const app::Recording& recording);
    // Opens a movie file that is no recording of this run (one of the save
    // folder's): its length and poster are read off the main thread, then a
    // window opens as for a recording dated `date` at `scale`. A file that
    // cannot be read still opens, and its window says so.
    static void openFile(const QString& path, const QDateTime& date, double scale);
    // The open editors, oldest first.
    static std::vector<VideoEditorWindowController*> openEditors();
    static int openCount() { return int(openEditors().size()); }

    // What the actions reach beyond the editor; tests put their own.
    struct Services {
        // The share menu below `anchor`.
        std::function<void(const QString& file, QWidget* anchor)> share;
        // The Save As panel for a recording, modal to `window`; `done` gets
        // the saved path or nothing.
        std::function<void(const app::Recording& recording, QWidget* window,
                           std::function<void(std::optional<QString>)> done)>
            saveAs;
        // Where exports are written.
        std::function<QString()> recordingsFolder;
        std::function<app::Preferences&()> preferences;
    };
    static Services& services();

    explicit VideoEditorWindowController(app::Recording recording);
    ~VideoEditorWindowController() override;

    const app::Recording& recording() const { return recording_; }
    VideoEditorModel& model() { return model_; }
    VideoEditorWindow* window() const { return window_; }
    VideoPlayer* player() const { return player_; }
    VideoEditorView* view() const { return view_; }

    // Shows the trimming bar, when the recording's length is known.
    void trim();
    // The part kept by trimming: from its start (0 before any) to its end
    // (the recording's length while untrimmed; not a number before the
    // player knows it).
    TrimRange trimmedRange() const;

    // The four export actions. Each is ignored while another runs.
    void copy();
    void save();
    void saveAs();
    void share(QWidget* anchor);
    // Whether an action runs (from the moment it began to its end).
    bool isBusy() const { return busy_; }
    // Whether the movie turned out to be one that cannot be played (cut off
    // or damaged); every action then only says so.
    bool isDamaged() const { return damaged_; }
    static QString damagedText();

    // The Save As panel's completion: a saved file closes the editor when
    // the settings say so.
    void closeAfterExportIfNeeded(const std::optional<QString>& saved);

    // From the window as it closes.
    void windowWillClose();

Q_SIGNALS:
    // An action ended, whichever way.
    void actionEnded();

private:
    enum class Action { copy, save, saveAs, share };
    void runAction(Action action, QPointer<QWidget> anchor);
    void finish(Action action, const ExportResult& result, QPointer<QWidget> anchor);
    void endAction();
    void showError(const QString& message);
    void updateDurationText();
    void movieUnreadable();
    void closeIfWanted();
    app::Preferences& preferences() const;

    const app::Recording recording_;
    VideoEditorModel model_;
    QPointer<VideoEditorWindow> window_;
    VideoPlayer* player_ = nullptr;
    VideoEditorView* view_ = nullptr;
    std::optional<double> knownDuration_;
    std::optional<double> trimStart_;
    std::optional<double> trimEnd_;
    bool audioChecked_ = false;
    bool busy_ = false;
    bool damaged_ = false;
    bool closed_ = false;
    // Set when the editor goes: an export nobody waits for stops.
    std::shared_ptr<std::atomic<bool>> abandoned_ = std::make_shared<std::atomic<bool>>(false);
};

} // namespace videoeditor
