#include "app/AlertPresenter.h"

#include "app/MainMenu.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace app {

namespace {

// Gives the default button the focus each time the box is shown.
class FocusDefaultButton final : public QObject {
public:
    explicit FocusDefaultButton(QMessageBox* box) : QObject(box), box_(box) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == box_ && event->type() == QEvent::Show) {
            if (QPushButton* button = box_->defaultButton()) {
                // After the show is done: the dialog sets its own focus then.
                QMetaObject::invokeMethod(
                    button, [button] { button->setFocus(Qt::ActiveWindowFocusReason); },
                    Qt::QueuedConnection);
                button->setFocus(Qt::ActiveWindowFocusReason);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QMessageBox* box_;
};

QMessageBox::Icon iconOf(const Alert& alert) {
    if (alert.critical) {
        return QMessageBox::Critical;
    }
    return alert.warning ? QMessageBox::Warning : QMessageBox::Information;
}

class MessageBoxPresenter : public AlertPresenter {
public:
    int run(const Alert& alert) override {
        std::unique_ptr<QMessageBox> box(makeAlertBox(alert));
        QApplication::setActiveWindow(box.get());
        box->exec();
        const QList<QAbstractButton*> buttons =
            box->property("vexlinButtons").value<QList<QAbstractButton*>>();
        const qsizetype chosen = buttons.indexOf(box->clickedButton());
        return chosen < 0 ? (alert.escapeButton >= 0 ? alert.escapeButton : 0) : int(chosen);
    }

    void show(const Alert& alert, QWidget* window) override {
        if (window == nullptr) {
            run(alert);
            return;
        }
        QMessageBox* box = makeAlertBox(alert, window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    }
};

} // namespace

QMessageBox* makeAlertBox(const Alert& alert, QWidget* parent) {
    auto* box =
        new QMessageBox(iconOf(alert), QString(), alert.message, QMessageBox::NoButton, parent);
    box->setInformativeText(alert.informativeText);
    QList<QAbstractButton*> buttons;
    const QStringList titles =
        alert.buttons.isEmpty() ? QStringList{QObject::tr("OK")} : alert.buttons;
    for (const QString& title : titles) {
        buttons.append(box->addButton(title, QMessageBox::ActionRole));
    }
    box->setDefaultButton(static_cast<QPushButton*>(buttons.first()));
    if (alert.escapeButton >= 0 && alert.escapeButton < buttons.size()) {
        box->setEscapeButton(buttons[alert.escapeButton]);
    } else if (buttons.size() == 1) {
        box->setEscapeButton(buttons.first());
    }
    box->setProperty("vexlinButtons", QVariant::fromValue(buttons));
    keepDefaultButtonFocused(box);
    MainMenu::installKeysIn(box);
    return box;
}

void keepDefaultButtonFocused(QMessageBox* box) {
    box->installEventFilter(new FocusDefaultButton(box));
}

AlertPresenter*& AlertPresenter::replacement() {
    static AlertPresenter* slot = nullptr;
    return slot;
}

AlertPresenter& AlertPresenter::current() {
    static MessageBoxPresenter real;
    AlertPresenter* replaced = replacement();
    return replaced ? *replaced : real;
}

} // namespace app
