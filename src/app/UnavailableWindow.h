#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;

namespace app {

// A plain window standing in for a window whose subsystem is not built yet.
// It says so and offers nothing else: no control in it can be mistaken for a
// working feature.
class UnavailableWindow : public QWidget {
    Q_OBJECT
public:
    // A document window (the editors) carries the main menu bar; a utility
    // window (settings, about, welcome, review) carries none but answers the
    // menu's Close, Quit and Settings keys.
    enum class Role { document, utility };

    UnavailableWindow(const QString& title, const QString& message, Role role,
                      QWidget* parent = nullptr);

    QString message() const;

    // Shows the window held in the slot, creating it first when there is none
    // (a closed window is gone: it deletes itself). Gives the window shown.
    static UnavailableWindow* showSingle(QPointer<UnavailableWindow>& slot, const QString& title,
                                         const QString& message, Role role = Role::utility);

    // Shows the window, brings it forward and gives it the keyboard.
    void showAndRaise();

Q_SIGNALS:
    // The window was closed by the user or by the program.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* label_;
    // Counted among the program's open windows.
    bool counted_ = false;
};

} // namespace app
