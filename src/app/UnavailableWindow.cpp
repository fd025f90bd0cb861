#include "app/UnavailableWindow.h"

#include "app/AppPresence.h"
#include "app/MainMenu.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace app {

UnavailableWindow::UnavailableWindow(const QString& title, const QString& message, Role role,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), label_(new QLabel(message, this)) {
    setWindowTitle(title);
    label_->setWordWrap(true);
    label_->setAlignment(Qt::AlignCenter);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(label_);
    if (role == Role::document) {
        MainMenu::installIn(this);
    } else {
        MainMenu::installKeysIn(this);
    }
    resize(420, 180);
}

QString UnavailableWindow::message() const {
    return label_->text();
}

UnavailableWindow* UnavailableWindow::showSingle(QPointer<UnavailableWindow>& slot,
                                                 const QString& title, const QString& message,
                                                 Role role) {
    if (slot.isNull()) {
        slot = new UnavailableWindow(title, message, role);
        slot->setAttribute(Qt::WA_DeleteOnClose);
    }
    slot->showAndRaise();
    return slot.data();
}

void UnavailableWindow::showAndRaise() {
    if (!isVisible() && !counted_) {
        counted_ = true;
        AppPresence::shared().appWindowDidOpen();
    }
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    bringWindowToFront(this);
}

void UnavailableWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted() && counted_) {
        counted_ = false;
        AppPresence::shared().appWindowDidClose();
        Q_EMIT closed();
    }
}

} // namespace app
