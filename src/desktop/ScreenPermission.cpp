#include "desktop/ScreenPermission.h"

#include "app/Bundle.h"
#include "platform/DisplayServer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>

#include <array>

namespace desktop {

namespace {

// One alert at a time: a second capture attempt raises the same one.
void showAlert(const QString& message, const QString& detail) {
    static QPointer<QMessageBox> shown;
    if (shown) {
        shown->close();
    }
    auto* box = new QMessageBox(QMessageBox::Warning, app::Bundle::main().appDisplayName(), message,
                                QMessageBox::Ok);
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    shown = box;
    box->show();
    box->raise();
    box->activateWindow();
}

struct DesktopSettings {
    const char* desktop;
    const char* program;
    const char* argument;
};

// The keyboard-shortcut page of each desktop's own settings program.
constexpr std::array<DesktopSettings, 7> kKeyboardSettings{{
    {"GNOME", "gnome-control-center", "keyboard"},
    {"Unity", "gnome-control-center", "keyboard"},
    {"KDE", "systemsettings", "kcm_keys"},
    {"XFCE", "xfce4-keyboard-settings", nullptr},
    {"MATE", "mate-keybinding-properties", nullptr},
    {"X-Cinnamon", "cinnamon-settings", "keyboard"},
    {"LXQt", "lxqt-config-globalkeyshortcuts", nullptr},
}};

QStringList currentKeyboardShortcutsCommand() {
    return ScreenPermission::keyboardShortcutsCommand(
        qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
        [](const QString& program) { return QStandardPaths::findExecutable(program); });
}

} // namespace

bool ScreenPermission::preflight() {
    return platform::detectDisplayServer() == platform::DisplayServer::X11;
}

void ScreenPermission::request() {
    const platform::DisplayServer server = platform::detectDisplayServer();
    if (server == platform::DisplayServer::X11) {
        return;
    }
    //: Alert title when a capture is asked for outside an X11 session
    showAlert(QCoreApplication::translate("ScreenPermission", "Vexlin Capture can’t capture the "
                                                              "screen in this session"),
              platform::displayServerProblem(server));
}

QStringList ScreenPermission::keyboardShortcutsCommand(
    const QString& currentDesktop, const std::function<QString(const QString&)>& findProgram) {
    for (const QString& desktop : currentDesktop.split(u':', Qt::SkipEmptyParts)) {
        for (const DesktopSettings& settings : kKeyboardSettings) {
            if (desktop.compare(QLatin1String(settings.desktop), Qt::CaseInsensitive) != 0) {
                continue;
            }
            const QString path = findProgram(QString::fromLatin1(settings.program));
            if (path.isEmpty()) {
                continue;
            }
            QStringList command{path};
            if (settings.argument != nullptr) {
                command << QString::fromLatin1(settings.argument);
            }
            return command;
        }
    }
    return {};
}

bool ScreenPermission::canOpenKeyboardShortcutsSettings() {
    return !currentKeyboardShortcutsCommand().isEmpty();
}

void ScreenPermission::openKeyboardShortcutsSettings() {
    const QStringList command = currentKeyboardShortcutsCommand();
    if (!command.isEmpty()) {
        QProcess::startDetached(command.first(), command.mid(1));
    }
}

bool ScreenPermission::relaunch(const RelaunchHooks& hooks) {
    const QString program = QCoreApplication::applicationFilePath();
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (hooks.startDetached && hooks.startDetached(program, arguments)) {
        if (hooks.quit) {
            hooks.quit();
        }
        return true;
    }
    if (hooks.alert) {
        //: Alert title when "Restart Vexlin Capture" could not start the new instance
        hooks.alert(
            QCoreApplication::translate("ScreenPermission", "Vexlin Capture couldn’t restart"),
            //: Alert text when "Restart Vexlin Capture" could not start the new instance
            QCoreApplication::translate("ScreenPermission",
                                        "It keeps running. Quit it and open it again to "
                                        "restart it."));
    }
    return false;
}

bool ScreenPermission::startWhenThisProcessEnds(const QString& program,
                                                const QStringList& arguments) {
    if (!QFileInfo(program).isExecutable()) {
        return false;
    }
    // A small shell waits (up to 10 s) for this process to end before it
    // starts the program.
    static const QString waitThenStart = QStringLiteral(
        "pid=$1; shift; i=0; "
        "while kill -0 \"$pid\" 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); "
        "done; exec \"$@\"");
    QStringList shellArguments{QStringLiteral("-c"), waitThenStart,
                               QStringLiteral("vexlin-relaunch"),
                               QString::number(QCoreApplication::applicationPid()), program};
    shellArguments << arguments;
    return QProcess::startDetached(QStringLiteral("/bin/sh"), shellArguments);
}

void ScreenPermission::relaunch() {
    RelaunchHooks hooks;
    hooks.startDetached = startWhenThisProcessEnds;
    hooks.quit = [] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    };
    hooks.alert = showAlert;
    relaunch(hooks);
}

} // namespace desktop
