// Drives the program's HotKeyCenter on a real X server, one command per line
// on stdin, and reports on stdout what it does and what it hears:
//
//   register JSON   registerAll() with a shortcut map in its stored JSON form
//                   (what it leaves out keeps its default; null disables)
//                   → "registered conflicts=<raw names joined by ','|->"
//   follow          follow() the settings store (under the rig's
//                   XDG_CONFIG_HOME) → "registered conflicts=…"
//   set NAME JSON   sets one stored shortcut ({"keyCode":n,"modifiers":n} or
//                   null) in the settings store → "registered conflicts=…"
//   suspend, resume → "suspended", "resumed"
//   hold NAME       holdEscape() → "token NAME <token> escape=<0|1>"
//   release TOKEN   releaseEscape() → "released escape=<0|1>"
//   ping            → "pong" (everything heard before is printed already)
//   quit
//
// Heard: "action <raw name>" per action press, "escape NAME" per Escape press.
#include "app/CaptureAction.h"
#include "app/HotKeyCenter.h"
#include "app/KeyShortcut.h"
#include "app/Preferences.h"
#include "app/ShortcutMap.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString escapeState(const app::HotKeyCenter& center) {
    return center.isEscapeRegistered() ? QStringLiteral("escape=1") : QStringLiteral("escape=0");
}

void sayConflicts(const app::HotKeyCenter& center) {
    QStringList names;
    for (app::CaptureAction action : center.conflicts()) {
        names << app::rawValue(action);
    }
    say(QStringLiteral("registered conflicts=") +
        (names.isEmpty() ? QStringLiteral("-") : names.join(QLatin1Char(','))));
}

void run(const QString& line) {
    app::HotKeyCenter& center = app::HotKeyCenter::shared();
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1);
    if (command == QLatin1String("register")) {
        center.registerAll(app::ShortcutMap::fromJson(rest.toUtf8()));
        sayConflicts(center);
    } else if (command == QLatin1String("follow")) {
        center.follow(app::Preferences::shared());
        sayConflicts(center);
    } else if (command == QLatin1String("set")) {
        const auto action = app::captureActionFromRawValue(rest.section(QLatin1Char(' '), 0, 0));
        const QJsonDocument value =
            QJsonDocument::fromJson(rest.section(QLatin1Char(' '), 1).toUtf8());
        if (!action) {
            say(QStringLiteral("unknown action"));
            return;
        }
        app::Preferences::shared().setShortcut(
            *action, value.isObject() ? app::KeyShortcut::fromJson(value.object()) : std::nullopt);
        sayConflicts(center);
    } else if (command == QLatin1String("suspend")) {
        center.suspend();
        say(QStringLiteral("suspended"));
    } else if (command == QLatin1String("resume")) {
        center.resume();
        say(QStringLiteral("resumed"));
    } else if (command == QLatin1String("hold")) {
        const int token = center.holdEscape([rest] { say(QStringLiteral("escape ") + rest); });
        say(QStringLiteral("token %1 %2 %3").arg(rest).arg(token).arg(escapeState(center)));
    } else if (command == QLatin1String("release")) {
        center.releaseEscape(rest.toInt());
        say(QStringLiteral("released ") + escapeState(center));
    } else if (command == QLatin1String("ping")) {
        say(QStringLiteral("pong"));
    } else if (command == QLatin1String("quit")) {
        QCoreApplication::quit();
    } else {
        say(QStringLiteral("unknown ") + command);
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    app::HotKeyCenter::shared().onAction = [](app::CaptureAction action) {
        say(QStringLiteral("action ") + app::rawValue(action));
    };

    std::string pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, static_cast<size_t>(count));
        for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const QString line = QString::fromStdString(pending.substr(0, end)).trimmed();
            pending.erase(0, end + 1);
            if (!line.isEmpty()) {
                run(line);
            }
        }
    });
    say(QStringLiteral("ready"));
    return app.exec();
}
