#pragma once

#include "app/CaptureAction.h"
#include "app/KeyShortcut.h"
#include "app/StatusMenu.h"

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;

namespace platform {
class TrayAnnouncements;
}

namespace app {

// The program's icon in the tray and its menu. The menu is built afresh from
// the state each time it opens, so it observes nothing. While a recording runs
// the icon becomes a stop button: its menu is detached, a click stops the
// recording, and the tool tip shows the elapsed time (trays show no text
// beside an icon).
//
// The mark is drawn in the tray's own foreground colour where the tray says
// it (_NET_SYSTEM_TRAY_COLORS), else light with a dark ring, legible on a
// panel of any colour; it is drawn again whenever a tray announces itself and
// whenever the application's palette changes (a switch between light and
// dark colour schemes).
//
// Without a tray on the X server the icon does not appear until a tray comes;
// the rest of the program, hot keys included, works the same.
class StatusBarController : public QObject {
    Q_OBJECT
public:
    explicit StatusBarController(std::function<void(CaptureAction)> onAction,
                                 QObject* parent = nullptr);
    ~StatusBarController() override;

    // Where the menu's state comes from and what its other items run; set once
    // by the start-up.
    void setStateProvider(std::function<StatusMenuState()> provider);
    void setCommands(StatusMenuCommands commands);
    void setOnStopRecording(std::function<void()> onStop);

    // When the desktop has no tray now, says once that the program runs,
    // with the area capture's keys (none when it has no shortcut) and the
    // way to its settings.
    void announceIfNoTray(const std::optional<KeyShortcut>& captureKeys);

    // Shows the recording state with the elapsed-time text, or the normal
    // state when nothing is given.
    void setRecording(const std::optional<QString>& elapsed);
    bool isShowingRecording() const { return isShowingRecording_; }

    void rebuildMenu();
    QMenu* menu() const { return menu_.get(); }
    QSystemTrayIcon* trayIcon() const { return tray_; }

    // What a click on the icon does: opens the menu, or stops the recording.
    void click();
    void stopRecording();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configureNormal();

    std::function<void(CaptureAction)> onAction_;
    std::function<void()> onStopRecording_;
    std::function<StatusMenuState()> stateProvider_;
    StatusMenuCommands commands_;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* tray_;
    platform::TrayAnnouncements* trayAnnouncements_;
    bool isShowingRecording_ = false;
};

// The mark as the tray should show it now.
QIcon statusIcon();

// The red stop button shown while recording.
QIcon stopRecordingIcon();

} // namespace app
