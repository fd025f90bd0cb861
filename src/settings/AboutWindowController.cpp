#include "settings/AboutWindowController.h"

#include "app/UnavailableWindow.h"

#include <QCoreApplication>

namespace settings {

namespace {
QPointer<app::UnavailableWindow> window;
} // namespace

void AboutWindowController::show() {
    app::UnavailableWindow::showSingle(
        window,
        //: Title of the About window
        QCoreApplication::translate("AboutWindowController", "About Vexlin Capture"),
        //: Body of the About window; %1 is the version number
        QCoreApplication::translate("AboutWindowController", "Vexlin Capture\nVersion %1")
            .arg(QStringLiteral(VEXLIN_VERSION)));
}

bool AboutWindowController::isVisible() {
    return window && window->isVisible();
}

} // namespace settings
