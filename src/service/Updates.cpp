#include "service/Updates.h"

#include "app/MainMenu.h"

#include <QMessageBox>

namespace service {

namespace {

void showAlert(const QString& title, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    app::MainMenu::installKeysIn(box);
    box->show();
    box->raise();
    box->activateWindow();
}

} // namespace

Updates& Updates::shared() {
    static Updates* instance = new Updates;
    return *instance;
}

void Updates::start() {}

QString Updates::unavailableMessage() {
    //: Alert text after the user asked to check for updates in a version that cannot check
    return tr("Checking for updates is not available in this version of Vexlin Capture yet.");
}

void Updates::check(bool userInitiated) {
    if (userInitiated) {
        //: Title of the alert after the user asked to check for updates
        showAlert(tr("Check for Updates"), unavailableMessage());
    }
}

void Updates::showUpdateAlert(const UpdateManifest& manifest) {
    //: Title of the alert for an announced update
    showAlert(tr("Update Available"),
              //: Alert text for an announced update; %1 is its version
              tr("Vexlin Capture %1 is available.").arg(manifest.version));
}

} // namespace service
