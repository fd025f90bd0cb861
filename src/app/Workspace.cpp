#include "app/Workspace.h"

#include "app/FileError.h"
#include "app/FilePanels.h"
#include "platform/FileManager.h"
#include "platform/MainThread.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace app {

std::optional<Workspace::Services>& Workspace::replacement() {
    static std::optional<Services> services;
    return services;
}

bool Workspace::openUrl(const QUrl& url) {
    Q_ASSERT(platform::onMainThread());
    if (replacement() && replacement()->openUrl) {
        return replacement()->openUrl(url);
    }
    // Without a launcher (xdg-open and the like) Qt only prints a warning.
    return QDesktopServices::openUrl(url);
}

bool Workspace::openFolder(const QString& folder, QWidget* window) {
    if (openUrl(QUrl::fromLocalFile(folder))) {
        return true;
    }
    FilePanels::current().showError(window, FileError::cannotOpenFolder(folder));
    return false;
}

bool Workspace::openFile(const QString& file, QWidget* window) {
    if (openUrl(QUrl::fromLocalFile(file))) {
        return true;
    }
    FilePanels::current().showError(window, FileError::cannotOpenFile(file));
    return false;
}

void Workspace::reveal(const QString& file, QWidget* window, std::function<void(bool)> done) {
    Q_ASSERT(platform::onMainThread());
    // The window may have closed by the time the file manager answered; the
    // alert then stands alone.
    const QPointer<QWidget> guard(window);
    auto fallBack = [file, guard, done = std::move(done)](bool shown) {
        if (!shown) {
            shown = openFolder(QFileInfo(file).absolutePath(), guard.data());
        }
        if (done) {
            done(shown);
        }
    };
    if (replacement() && replacement()->showInFileManager) {
        replacement()->showInFileManager(file, std::move(fallBack));
        return;
    }
    platform::showInFileManager(QStringList{file}, std::move(fallBack));
}

} // namespace app
