#include "videoeditor/VideoEditorWindowController.h"

#include "app/UnavailableWindow.h"

#include <QCoreApplication>
#include <QList>

namespace videoeditor {

namespace {
QList<QPointer<app::UnavailableWindow>>& windows() {
    static QList<QPointer<app::UnavailableWindow>> list;
    return list;
}
} // namespace

void VideoEditorWindowController::open(const app::Recording& recording) {
    if (recording.format != app::Recording::Format::video) {
        return;
    }
    QPointer<app::UnavailableWindow> window;
    app::UnavailableWindow::showSingle(
        window,
        //: Title of the video editor window
        QCoreApplication::translate("VideoEditorWindowController", "Vexlin Capture Video Editor"),
        //: Shown in the video editor window while the video editor is not built
        QCoreApplication::translate("VideoEditorWindowController",
                                    "The video editor is not available in this version yet."),
        app::UnavailableWindow::Role::document);
    windows().append(window);
}

int VideoEditorWindowController::openCount() {
    windows().removeAll(nullptr);
    return static_cast<int>(windows().size());
}

} // namespace videoeditor
