#include "desktop/ScreenPermission.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <gtest/gtest.h>

using desktop::ScreenPermission;

namespace {

struct Relaunch {
    bool starts;
    int quits;
    int alerts;
};

TEST(ScreenPermission, RelaunchQuitsOnlyAfterTheNewInstanceStarted) {
    for (const Relaunch& c : {Relaunch{true, 1, 0}, Relaunch{false, 0, 1}}) {
        QString startedProgram;
        int quits = 0;
        std::vector<QString> alerts;
        desktop::ScreenPermission::RelaunchHooks hooks;
        hooks.startDetached = [&](const QString& program, const QStringList&) {
            startedProgram = program;
            return c.starts;
        };
        hooks.quit = [&] { ++quits; };
        hooks.alert = [&](const QString& message, const QString&) { alerts.push_back(message); };
        EXPECT_EQ(desktop::ScreenPermission::relaunch(hooks), c.starts);
        EXPECT_EQ(startedProgram, QCoreApplication::applicationFilePath());
        EXPECT_EQ(quits, c.quits) << c.starts;
        EXPECT_EQ(alerts.size(), static_cast<size_t>(c.alerts)) << c.starts;
    }
}

struct DesktopCase {
    const char* desktop;
    QStringList installed;
    QStringList command;
};

TEST(ScreenPermission, KeyboardShortcutsOpenInTheDesktopsOwnSettings) {
    const DesktopCase cases[] = {
        {"GNOME", {"gnome-control-center"}, {"/usr/bin/gnome-control-center", "keyboard"}},
        {"ubuntu:GNOME", {"gnome-control-center"}, {"/usr/bin/gnome-control-center", "keyboard"}},
        {"KDE", {"systemsettings"}, {"/usr/bin/systemsettings", "kcm_keys"}},
        {"XFCE", {"xfce4-keyboard-settings"}, {"/usr/bin/xfce4-keyboard-settings"}},
        {"GNOME", {}, {}},
        {"", {"gnome-control-center"}, {}},
        {"openbox", {"gnome-control-center"}, {}},
    };
    for (const DesktopCase& c : cases) {
        const auto find = [&](const QString& program) {
            return c.installed.contains(program) ? QStringLiteral("/usr/bin/") + program
                                                 : QString();
        };
        EXPECT_EQ(desktop::ScreenPermission::keyboardShortcutsCommand(
                      QString::fromLatin1(c.desktop), find),
                  c.command)
            << c.desktop;
    }
}

// Restores an environment variable when the test ends.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~EnvironmentOverride() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

TEST(ScreenPermission, WaylandWithoutAnXServerIsMissingAndSaysWhy) {
    EnvironmentOverride display("DISPLAY", ":vexlin-no-such-display");
    EnvironmentOverride wayland("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_FALSE(desktop::ScreenPermission::preflight());
    desktop::ScreenPermission::request();
    QMessageBox* shown = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            shown = box;
        }
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->informativeText().contains(QStringLiteral("X11 session")));
    shown->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
