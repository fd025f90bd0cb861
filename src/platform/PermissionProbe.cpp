#include "platform/PermissionProbe.h"

#include "platform/X11Connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <pulse/pulseaudio.h>
#include <unistd.h>
#include <xcb/record.h>
#include <xcb/xtest.h>

// The context of this file's texts, declared where lupdate finds it.
struct PermissionProbeText {
    Q_DECLARE_TR_FUNCTIONS(PermissionProbeText)
};

namespace platform {

namespace {

bool hasExtension(xcb_extension_t* extension) {
    X11Connection* connection = X11Connection::shared();
    if (connection == nullptr) {
        return false;
    }
    const xcb_query_extension_reply_t* reply = xcb_get_extension_data(connection->get(), extension);
    return reply != nullptr && reply->present != 0;
}

PermissionStatus cameraStatus() {
    const QStringList devices =
        QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System);
    if (devices.isEmpty()) {
        //: Settings › Permissions: why the camera row is not allowed
        return {false, PermissionProbeText::tr("No camera found")};
    }
    for (const QString& device : devices) {
        const QByteArray path = QFile::encodeName(QStringLiteral("/dev/") + device);
        if (::access(path.constData(), R_OK | W_OK) == 0) {
            return {true, {}};
        }
    }
    //: Settings › Permissions: the camera devices exist but this user may not open them
    return {false,
            PermissionProbeText::tr("You may not open the camera: ask to join the “video” group")};
}

// Counts the sound server's sources that are not an output's monitor; -1
// when no sound server answered within the time allowed.
struct SourceCount {
    int microphones = 0;
    bool done = false;
};

int countMicrophones() {
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr) {
        return -1;
    }
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Vexlin Capture");
    int result = -1;
    if (context != nullptr &&
        pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        SourceCount count;
        pa_operation* operation = nullptr;
        QElapsedTimer clock;
        clock.start();
        // A sound server answers in milliseconds; one that hangs must not
        // hold up the settings window for longer than this.
        while (clock.elapsed() < 500) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
                break;
            }
            if (state == PA_CONTEXT_READY && operation == nullptr) {
                operation = pa_context_get_source_info_list(
                    context,
                    [](pa_context*, const pa_source_info* info, int eol, void* data) {
                        auto* count = static_cast<SourceCount*>(data);
                        if (eol != 0) {
                            count->done = true;
                        } else if (info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) {
                            ++count->microphones;
                        }
                    },
                    &count);
            }
            if (count.done) {
                result = count.microphones;
                break;
            }
            if (pa_mainloop_prepare(loop, 50 * 1000) < 0 || pa_mainloop_poll(loop) < 0 ||
                pa_mainloop_dispatch(loop) < 0) {
                break;
            }
        }
        if (operation != nullptr) {
            pa_operation_unref(operation);
        }
        pa_context_disconnect(context);
    }
    if (context != nullptr) {
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    return result;
}

PermissionStatus microphoneStatus() {
    const int microphones = countMicrophones();
    if (microphones < 0) {
        //: Settings › Permissions: why the microphone row is not allowed
        return {false, PermissionProbeText::tr("No sound server is running")};
    }
    if (microphones == 0) {
        //: Settings › Permissions: why the microphone row is not allowed
        return {false, PermissionProbeText::tr("No microphone found")};
    }
    return {true, {}};
}

class SystemProbe : public PermissionProbe {
public:
    PermissionStatus status(Permission permission) override {
        switch (permission) {
        case Permission::screenRecording:
            if (X11Connection::shared() != nullptr) {
                return {true, {}};
            }
            //: Settings › Permissions: why screen capture is not possible
            return {false, PermissionProbeText::tr("Not an X11 session")};
        case Permission::inputMonitoring:
            if (hasExtension(&xcb_record_id)) {
                return {true, {}};
            }
            //: Settings › Permissions: the X server cannot report key presses
            return {false, PermissionProbeText::tr("The X server has no RECORD extension")};
        case Permission::accessibility:
            if (hasExtension(&xcb_test_id)) {
                return {true, {}};
            }
            //: Settings › Permissions: the X server cannot take scroll events from programs
            return {false, PermissionProbeText::tr("The X server has no XTEST extension")};
        case Permission::camera:
            return cameraStatus();
        case Permission::microphone:
            return microphoneStatus();
        }
        return {};
    }

    bool readsSlowly(Permission permission) const override {
        return permission == Permission::microphone;
    }

    bool canOpenSettings(Permission permission) override { return !command(permission).isEmpty(); }

    void openSettings(Permission permission) override {
        QStringList arguments = command(permission);
        if (arguments.isEmpty()) {
            return;
        }
        const QString program = arguments.takeFirst();
        QProcess::startDetached(program, arguments);
    }

private:
    static QStringList command(Permission permission) {
        return permissionSettingsCommand(
            permission, qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
            [](const QString& name) { return QStandardPaths::findExecutable(name); });
    }
};

} // namespace

PermissionProbe& PermissionProbe::system() {
    static SystemProbe probe;
    return probe;
}

QStringList permissionSettingsCommand(Permission permission, const QString& currentDesktop,
                                      const std::function<QString(const QString&)>& findProgram) {
    // Only the camera and the microphone are settings of the desktop; the
    // others are features of the X server that no settings program switches.
    struct Entry {
        const char* desktop;
        Permission permission;
        QStringList command;
    };
    const Entry entries[] = {
        {"GNOME", Permission::camera, {"gnome-control-center", "camera"}},
        {"GNOME", Permission::microphone, {"gnome-control-center", "sound"}},
        {"KDE", Permission::microphone, {"systemsettings", "kcm_pulseaudio"}},
        {"XFCE", Permission::microphone, {"pavucontrol", "--tab=4"}},
        {"MATE", Permission::microphone, {"mate-volume-control"}},
    };
    for (const QString& desktop : currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        for (const Entry& entry : entries) {
            if (entry.permission != permission ||
                desktop.compare(QLatin1String(entry.desktop), Qt::CaseInsensitive) != 0) {
                continue;
            }
            const QString program = findProgram(entry.command.first());
            if (!program.isEmpty()) {
                QStringList command = entry.command;
                command.first() = program;
                return command;
            }
        }
    }
    return {};
}

} // namespace platform
