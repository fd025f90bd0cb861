#pragma once

#include "app/ScopedReplacement.h"

#include <QString>
#include <QStringList>

class QMessageBox;
class QWidget;

namespace app {

// A modal alert: a message, an informative text and its buttons in order. The
// first button answers Return; the escape button, when there is one, answers
// Escape.
struct Alert {
    QString message;
    QString informativeText;
    QStringList buttons;
    // Index of the button Escape chooses; -1 for none.
    int escapeButton = -1;
    // The style of an alert about a problem that needs attention now.
    bool critical = false;
    // The style of an alert that tells of something that went wrong (the
    // warning icon rather than the information one).
    bool warning = false;
};

// Shows alerts for the program's services. The program uses QMessageBox;
// tests answer alerts themselves with ScopedAlertPresenter.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;

    // Shows the alert application-modally and returns the index of the
    // button the user chose.
    virtual int run(const Alert& alert) = 0;

    // Shows the alert modal to `window` alone and returns at once; the rest
    // of the program goes on meanwhile. Without a window it runs it
    // application-modally. Presenters that answer alerts themselves get it
    // through run().
    virtual void show(const Alert& alert, QWidget* /*window*/) { run(alert); }

    // The presenter in use: the real alerts unless a test replaced them.
    static AlertPresenter& current();

private:
    friend class ScopedAlertPresenter;
    static AlertPresenter*& replacement();
};

// The message box the program's presenter runs, built but not shown: with its
// buttons, default and escape button and the program's window keys. However
// it is shown, its default button (the first) holds the keyboard focus when
// it opens, so that Return presses it.
QMessageBox* makeAlertBox(const Alert& alert, QWidget* parent = nullptr);

// Gives the box's default button the keyboard focus each time the box is
// shown, so that Return presses it: left to itself the box focuses the first
// button of its focus chain, which the desktop's button order may make
// another one. For message boxes built by hand.
void keepDefaultButtonFocused(QMessageBox* box);

// Puts another presenter in place for as long as it lives.
class ScopedAlertPresenter : public ScopedReplacement<AlertPresenter*> {
public:
    explicit ScopedAlertPresenter(AlertPresenter& presenter)
        : ScopedReplacement(AlertPresenter::replacement(), &presenter) {}
};

} // namespace app
