#include "settings/WelcomeWindowController.h"

#include "app/UnavailableWindow.h"

#include <QCoreApplication>

namespace settings {

namespace {
QPointer<app::UnavailableWindow> window;
} // namespace

void WelcomeWindowController::show() {
    app::UnavailableWindow::showSingle(
        window,
        //: Title of the welcome window
        QCoreApplication::translate("WelcomeWindowController", "Welcome to Vexlin Capture"),
        //: Shown in the welcome window while the guide is not written yet
        QCoreApplication::translate("WelcomeWindowController",
                                    "The welcome guide is not available in this version yet."));
}

bool WelcomeWindowController::isVisible() {
    return window && window->isVisible();
}

} // namespace settings
