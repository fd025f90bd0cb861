// The Shortcuts pane alone in a window, on the settings file of the rig and
// the real global hot keys, registered as the program registers them.
// Prints "ACTION X Y" for every row (where to click its recorder, in root
// coordinates; "area X Y" first) once the window is placed and active, then after every
// change of the stored shortcuts "stored" and the area's entry as the
// settings file holds it now, and "map" and the whole stored map; and
// "flagged" and the rows outlined in orange whenever they change.
#include "app/HotKeyCenter.h"
#include "app/HotKeySync.h"
#include "app/Preferences.h"
#include "settings/ShortcutRecorder.h"
#include "settings/ShortcutsPane.h"

#include <QAbstractButton>
#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlin Capture"));
    app::Preferences& preferences = app::Preferences::shared();
    app::HotKeySync sync(preferences, [](const app::ShortcutMap& map) {
        app::HotKeyCenter::shared().registerAll(map);
    });

    QWidget window;
    window.setWindowTitle(QStringLiteral("Shortcuts"));
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* pane = static_cast<settings::ShortcutsPane*>(settings::makeShortcutsPane(&window));
    layout->addWidget(pane);
    window.resize(636, 640);
    window.show();

    QObject::connect(&preferences, &app::Preferences::shortcutsChanged, [&preferences] {
        const QByteArray json = QSettings(preferences.filePath(), QSettings::IniFormat)
                                    .value("shortcuts")
                                    .toByteArray();
        const QJsonValue area = QJsonDocument::fromJson(json).object().value("area");
        const QByteArray text = area.isObject()
                                    ? QJsonDocument(area.toObject()).toJson(QJsonDocument::Compact)
                                    : QByteArray("null");
        std::printf("stored %s\nmap %s\n", text.constData(), json.constData());
        std::fflush(stdout);
    });
    // Conflicts come a turn after the map changes, when the hot keys are
    // registered again.
    QString flagged;
    const auto reportFlagged = [&] {
        QStringList rows;
        for (const app::CaptureAction action : settings::ShortcutsPane::rowOrder()) {
            if (pane->recorder(action)->hasConflict()) {
                rows.append(app::rawValue(action));
            }
        }
        if (rows.join(' ') != flagged) {
            flagged = rows.join(' ');
            std::printf("flagged %s\n", qPrintable(flagged));
            std::fflush(stdout);
        }
    };
    QObject::connect(&preferences, &app::Preferences::shortcutsChanged, pane,
                     [&] { QTimer::singleShot(0, pane, reportFlagged); });
    QObject::connect(&app::HotKeyCenter::shared(), &app::HotKeyCenter::conflictsChanged, pane,
                     [&] { QTimer::singleShot(0, pane, reportFlagged); });
    // The places are told once the window manager has placed the window and
    // made it active, so that a click there reaches the field.
    QTimer placed;
    placed.setInterval(20);
    QObject::connect(&placed, &QTimer::timeout, [&] {
        if (!window.isActiveWindow() || !window.windowHandle()->isExposed()) {
            return;
        }
        placed.stop();
        const qreal scale = window.devicePixelRatioF();
        for (const app::CaptureAction action : settings::ShortcutsPane::rowOrder()) {
            QAbstractButton* field = pane->recorder(action)->field();
            const QPoint centre = field->mapToGlobal(field->rect().center());
            std::printf("%s %d %d\n", qPrintable(app::rawValue(action)), qRound(centre.x() * scale),
                        qRound(centre.y() * scale));
        }
        std::fflush(stdout);
    });
    placed.start();
    return QApplication::exec();
}
