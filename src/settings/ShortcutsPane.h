#pragma once

#include "app/CaptureAction.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace app {
class HotKeyCenter;
class Preferences;
} // namespace app

namespace settings {

class ShortcutRecorder;

// The settings window's Shortcuts section: a recorder for each capture
// action, bound to its entry of the stored shortcuts, the actions whose hot
// key another program holds, a note on the desktop's own screenshot keys and
// "Restore Defaults". It only changes the stored map; the program registers
// the hot keys again whenever the map changes.
class ShortcutsPane : public QWidget {
    Q_OBJECT
public:
    ShortcutsPane(app::Preferences& preferences, app::HotKeyCenter& hotKeys,
                  QWidget* parent = nullptr);

    ShortcutRecorder* recorder(app::CaptureAction action) const;
    // The actions in the order of their rows.
    static QList<app::CaptureAction> rowOrder();
    // The orange line shown while some hot key is taken.
    QLabel* conflictNote() const { return conflictNote_; }
    // The orange line shown while two actions have the same shortcut.
    QLabel* sharedNote() const { return sharedNote_; }
    QPushButton* restoreDefaultsButton() const { return restoreDefaults_; }

private:
    void showShortcuts();
    void showConflicts();
    void stopRecordingExcept(ShortcutRecorder* keep);

    app::Preferences& preferences_;
    app::HotKeyCenter& hotKeys_;
    QList<QPair<app::CaptureAction, ShortcutRecorder*>> recorders_;
    QLabel* conflictNote_ = nullptr;
    QLabel* sharedNote_ = nullptr;
    QPushButton* restoreDefaults_ = nullptr;
};

// The pane on the program's settings store and hot keys, for the settings
// window.
QWidget* makeShortcutsPane(QWidget* parent);

} // namespace settings
