#pragma once

#include "app/ShortcutMap.h"

#include <QString>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;

namespace app {
class Preferences;
}

namespace settings {

// The first-run guide: whether the screen can be captured, the capture
// shortcuts, launch at login and where the program lives (the tray). Closing
// it, by any means, completes onboarding.
class WelcomeWindow : public QWidget {
    Q_OBJECT
public:
    // Launch at login as the guide's switch sees it: the real state, and the
    // change (which tells the user itself when it fails).
    struct LaunchAtLogin {
        std::function<bool()> isEnabled;
        std::function<void(bool)> set;
    };

    WelcomeWindow(app::Preferences& preferences, LaunchAtLogin launchAtLogin,
                  QWidget* parent = nullptr);

    // Shows the window and brings it to the front, counting it among the
    // program's open windows when it was not shown.
    void showAndRaise();

    // The text of the shortcuts step, as shown now.
    QString shortcutText() const;
    QAbstractButton* closingButton() const;
    // None when launch at login is not available.
    QCheckBox* launchAtLoginSwitch() const { return launchSwitch_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refreshScreenStep();
    // As tall as the guide, or as the screen has room for.
    void fitHeight();
    void launchAtLoginClicked(bool on);

    app::Preferences& preferences_;
    LaunchAtLogin launchAtLogin_;
    bool granted_ = false;
    bool requested_ = false;
    bool counted_ = false;
    QLabel* screenDetail_;
    QLabel* screenDone_;
    QPushButton* continue_;
    QPushButton* restart_;
    QLabel* shortcuts_;
    QCheckBox* launchSwitch_ = nullptr;
    QPushButton* done_;
    QScrollArea* scroll_ = nullptr;
    QTimer* poll_;
};

// One line per plain capture action that has a shortcut, in the status
// menu's order (the copies are left out): the shortcut's text, two spaces
// and the action's title; joined by line feeds. Empty without shortcuts.
QString shortcutSummary(const app::ShortcutMap& shortcuts);

class WelcomeWindowController {
public:
    // Shows the one welcome window, creating it on first use, and brings it to
    // the front. It is dropped when it closes.
    static void show();
    static bool isVisible();
    // The window while it exists.
    static WelcomeWindow* window();
    // What the guide's "Open at login" switch works with; without it the
    // switch is left out. Set once by the composition root.
    static void setLaunchAtLogin(WelcomeWindow::LaunchAtLogin launchAtLogin);
};

} // namespace settings
