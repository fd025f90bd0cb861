#pragma once

#include "app/ScopedReplacement.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QWidget;

namespace app {

// Opening folders and files with the desktop's programs and showing a file in
// the file manager. Where nothing could be opened, the user is told in an
// alert (FilePanels::showError) that names the folder or file; nothing fails
// silently. Main thread only.
class Workspace {
public:
    // Starts the desktop's program for the URL (QDesktopServices); false when
    // none could be started. No alert: for callers that tell the user
    // themselves.
    static bool openUrl(const QUrl& url);

    // Opens the folder in the file manager; false, after the alert, when no
    // program could be started for it.
    static bool openFolder(const QString& folder, QWidget* window = nullptr);

    // Opens the file in the default program for its type; false, after the
    // alert, when none could be started.
    static bool openFile(const QString& file, QWidget* window = nullptr);

    // Shows the file selected in the file manager. Where no file manager takes
    // the request, its folder is opened instead, and where that fails too the
    // alert names the folder. done, when given, learns whether anything was
    // shown; it runs after this call has returned.
    static void reveal(const QString& file, QWidget* window = nullptr,
                       std::function<void(bool shown)> done = {});

    // The desktop services the operations use; tests put their own in place.
    struct Services {
        std::function<bool(const QUrl&)> openUrl;
        std::function<void(const QString& file, std::function<void(bool shown)> done)>
            showInFileManager;
    };
    class ScopedServices : public ScopedReplacement<std::optional<Services>> {
    public:
        explicit ScopedServices(Services services)
            : ScopedReplacement(replacement(), std::move(services)) {}
    };

private:
    static std::optional<Services>& replacement();
};

} // namespace app
