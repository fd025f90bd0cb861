#pragma once

#include <QObject>

class QWidget;

namespace app {

// Whether the program shows up like an ordinary application. On X11 a shown
// window of ours has its own task-bar entry; "accessory" is the tray-only state
// with no entry, "regular" the state while one of our windows is open.
enum class ActivationPolicy { regular = 0, accessory = 1 };

// Counts the program's own windows (About, Settings, editors, review, video
// editor, welcome) so that the program leaves the tray-only state while one is
// open and returns to it once the last one closes. Main thread only.
class AppPresence : public QObject {
    Q_OBJECT
public:
    explicit AppPresence(QObject* parent = nullptr);

    // The one instance the window controllers report to.
    static AppPresence& shared();

    int openAppWindowCount() const { return openAppWindowCount_; }
    ActivationPolicy activationPolicy() const { return policy_; }

    // Once for every newly opened window, and for a reused window only when it
    // was not visible.
    void appWindowDidOpen();
    // When one of those windows closes. The switch back to the tray-only state
    // waits one event-loop turn, so a window opened in the same turn keeps the
    // program regular.
    void appWindowDidClose();
    // Regular without counting a window (the status menu's editor command).
    void activateAsRegularApp();

Q_SIGNALS:
    void activationPolicyChanged(app::ActivationPolicy policy);

private:
    void setPolicy(ActivationPolicy policy);
    void returnToAccessoryIfNoWindow();

    int openAppWindowCount_ = 0;
    ActivationPolicy policy_ = ActivationPolicy::accessory;
};

// The shared instance's operations, for the window controllers.
void appWindowDidOpen();
void appWindowDidClose();
void activateAsRegularApp();

// Quit: the event loop ends at once. No window is asked whether it may close
// (Qt's quit() would ask, and an editor with unsaved changes would hold it up
// with its question); nothing is saved.
void terminateApplication();

// Shows the window, raises it and gives it the keyboard; asks again one turn
// later and once more 0.15 s later when the program is still not active,
// because a window manager may refuse focus to a window that appeared while
// another application was in front. No window: nothing happens.
void bringWindowToFront(QWidget* window);

// Moves a top-level window (at its present size) to the middle of the area
// that panels leave free on the screen under the pointer, or the primary
// screen; it stays whole on that screen when it is larger.
void centreOnScreen(QWidget* window);

} // namespace app
