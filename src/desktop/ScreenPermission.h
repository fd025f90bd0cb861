#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace desktop {

// Whether the program may capture the screen. X11 lets every client read the
// screen, so the permission is simply an X server within reach; a Wayland
// session without one, or no display at all, leaves it missing. Nothing is
// remembered: every capture asks afresh. Main thread only.
class ScreenPermission {
public:
    ScreenPermission() = delete;

    // True when the screen can be captured; asks nothing of the user.
    static bool preflight();
    // There is nothing to grant on Linux: explains, in an alert, that the
    // program needs an X11 session. Does nothing when the permission is there.
    static void request();

    // X11 has no privacy pane for screen capture, so there is nothing to open.
    static bool canOpenScreenRecordingSettings() { return false; }
    static void openScreenRecordingSettings() {}

    // The desktop's keyboard-shortcut settings, when a known settings program
    // of the current desktop is installed.
    static bool canOpenKeyboardShortcutsSettings();
    static void openKeyboardShortcutsSettings();
    // The command for the desktops named by XDG_CURRENT_DESKTOP (a colon list),
    // taking the first whose program `findProgram` locates; empty if none.
    static QStringList
    keyboardShortcutsCommand(const QString& currentDesktop,
                             const std::function<QString(const QString&)>& findProgram);

    // What a relaunch needs from the outside world.
    struct RelaunchHooks {
        // Starts the new instance apart from this one; false when it could not.
        std::function<bool(const QString& program, const QStringList& arguments)> startDetached;
        // Quits this instance (after the current event).
        std::function<void()> quit;
        // Tells the user that the restart failed.
        std::function<void(const QString& message, const QString& detail)> alert;
    };
    // Starts a new instance with the same arguments and quits this one, so a
    // change of session settings applies. This instance quits only when the
    // new one started; otherwise it keeps running and says so.
    static void relaunch();
    static bool relaunch(const RelaunchHooks& hooks);
    // Starts the program apart from this process once this process has ended
    // (after at most 10 s), since a copy that finds this one still running
    // hands itself over to it and leaves. False when the program is not
    // executable or could not be started.
    static bool startWhenThisProcessEnds(const QString& program, const QStringList& arguments);
};

} // namespace desktop
