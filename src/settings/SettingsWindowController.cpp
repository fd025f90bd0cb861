#include "settings/SettingsWindowController.h"

#include "app/UnavailableWindow.h"

#include <QCoreApplication>

namespace settings {

namespace {
QPointer<app::UnavailableWindow> window;
} // namespace

void SettingsWindowController::show(SettingsSection /*section*/) {
    app::UnavailableWindow::showSingle(
        window,
        //: Title of the settings window
        QCoreApplication::translate("SettingsWindowController", "Vexlin Capture Settings"),
        //: Shown in the settings window while it has no controls yet
        QCoreApplication::translate("SettingsWindowController",
                                    "The settings window is not available in this version yet."));
}

bool SettingsWindowController::isVisible() {
    return window && window->isVisible();
}

} // namespace settings
