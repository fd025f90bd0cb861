#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// The five things a capture program may be refused. On X11 most of them are
// not permissions at all but features of the session: any client may read
// the screen and the keyboard once the server offers the extensions.
enum class Permission { screenRecording, inputMonitoring, camera, microphone, accessibility };

struct PermissionStatus {
    bool granted = false;
    // Why it is not granted, for the user ("No camera found"); empty when
    // granted.
    QString reason;

    friend bool operator==(const PermissionStatus&, const PermissionStatus&) = default;
};

// Reads the real state of each permission. Every read is cheap (no dialog,
// no lasting connection), so a settings window may ask every few seconds.
// Main thread only, except the reads that readsSlowly() names.
class PermissionProbe {
public:
    virtual ~PermissionProbe() = default;

    // screenRecording: an X11 session; inputMonitoring: the server's RECORD
    // extension; accessibility: its XTEST extension; camera: a /dev/video*
    // device this user may open; microphone: a sound-server source that is
    // not the monitor of an output.
    virtual PermissionStatus status(Permission permission) = 0;

    // Whether reading the permission may wait on another program (the sound
    // server, which may hang): such a read must not run on the main thread,
    // and status() is safe to call from another thread for it.
    virtual bool readsSlowly(Permission /*permission*/) const { return false; }

    // Whether the desktop has a settings program that changes this
    // permission, and opening it there.
    virtual bool canOpenSettings(Permission permission) = 0;
    virtual void openSettings(Permission permission) = 0;

    // The probe of this machine.
    static PermissionProbe& system();
};

// The command that opens the desktop's settings on the permission, for the
// desktops named by XDG_CURRENT_DESKTOP (a colon list), taking the first whose
// program `findProgram` locates; empty when none changes it.
QStringList permissionSettingsCommand(Permission permission, const QString& currentDesktop,
                                      const std::function<QString(const QString&)>& findProgram);

} // namespace platform
