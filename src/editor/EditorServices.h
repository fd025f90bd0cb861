#pragma once

#include "app/RecentFile.h"
#include "app/ScopedReplacement.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace annotation {
class EditStore;
}
namespace delivery {
class RecentLibrary;
}

namespace editor {

// What the editor windows use of the rest of the program, in one place: the
// composition root fills in what lives in libraries above this one (the
// video editor), and tests put fakes in place with
// ScopedEditorServices. The export has its own (ExportServices). The
// settings are the save folder's (app::SaveLocation::preferences()). Main
// thread.
struct EditorServices {
    // The edit records of the files opened.
    const annotation::EditStore* store = nullptr;

    // The listing the recent strip shows; none: the program's own.
    delivery::RecentLibrary* recentLibrary = nullptr;
    // The recent-captures listing: told when an editor window opens and
    // closes (it watches the save folder only while one is open), asked to
    // list again when an editor comes to the front.
    std::function<void()> editorOpened;
    std::function<void()> editorClosed;
    std::function<void()> refreshRecent;
    // The newest image of the save folder (newer videos and GIFs passed
    // over), or none; `done` runs later, on the main thread.
    std::function<void(std::function<void(std::optional<QString> path)> done)> newestCapture;

    // The system beep, for a file that cannot be opened.
    std::function<void()> beep;
    // Opens a file with the desktop's default program; false when none did.
    std::function<bool(const QString& path)> openWithDefaultApp;
    // Opens a video of the recent strip in the video editor, at the scale of
    // the editor window it was chosen in. Empty: videos cannot be opened
    // here yet, and choosing one beeps.
    std::function<void(const app::RecentFile& video, double scale)> openVideo;

    // The program's windows, front to back (X window ids; the stacking order
    // the window manager keeps). Windows not in it count as behind the rest.
    std::function<std::vector<WId>()> windowOrder;

    // The program's own: the shared edit store and recent-captures listing,
    // the save folder's newest image, QApplication::beep, QDesktopServices,
    // the window manager's stacking order; no video editor.
    static EditorServices defaults();
    // The services in use; the composition root changes them at start-up.
    static EditorServices& current();
};

// Puts other services in place for as long as it lives.
class ScopedEditorServices : public app::ScopedReplacement<EditorServices> {
public:
    explicit ScopedEditorServices(EditorServices services)
        : ScopedReplacement(EditorServices::current(), std::move(services)) {}
};

} // namespace editor
