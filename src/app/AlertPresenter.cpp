#include "app/AlertPresenter.h"

#include "app/MainMenu.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace app {

namespace {

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
    auto* box = new QMessageBox(alert.critical ? QMessageBox::Critical : QMessageBox::Information,
                                QString(), alert.message, QMessageBox::NoButton, parent);
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
    MainMenu::installKeysIn(box);
    return box;
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
