#include "service/Reviews.h"

#include "app/SettingsFile.h"
#include "app/UnavailableWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QSettings>

namespace service {

Reviews::Reviews(QString settingsPath, QObject* parent)
    : QObject(parent), settingsPath_(std::move(settingsPath)) {}

Reviews& Reviews::shared() {
    static Reviews* instance = new Reviews(app::settingsFilePath());
    return *instance;
}

bool Reviews::reviewSent() const {
    const QSettings store(settingsPath_, QSettings::IniFormat);
    return store.value(QStringLiteral("reviewSent"), false).toBool();
}

QString Reviews::menuItemTitle(bool sent) {
    if (sent) {
        //: Menu item, disabled: this installation has sent its one review
        return tr("Review Sent");
    }
    //: Menu item and Settings button that opens the review window
    return tr("Write a Review…");
}

void Reviews::updateMenuItem(QAction* item) const {
    const bool sent = reviewSent();
    item->setText(menuItemTitle(sent));
    item->setEnabled(!sent);
}

void ReviewWindowController::show() {
    static QPointer<app::UnavailableWindow> window;
    app::UnavailableWindow::showSingle(
        window,
        //: Title of the review window
        QCoreApplication::translate("ReviewWindowController", "Write a Review"),
        //: Shown in the review window while reviews cannot be sent yet
        QCoreApplication::translate("ReviewWindowController",
                                    "Sending a review is not available in this version yet."));
}

} // namespace service
