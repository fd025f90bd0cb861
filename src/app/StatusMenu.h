#pragma once

#include "app/CaptureAction.h"

#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

class QMenu;

namespace app {

class Preferences;

// What the status menu shows, read afresh each time it opens.
struct StatusMenuState {
    // The shortcut shown beside each capture action ("Alt+Shift+Super+4", from
    // KeyShortcut::displayText); an action without an entry shows none.
    std::map<CaptureAction, QString> shortcutTexts;
    // The stored self-timer delay in seconds.
    int captureTimer = 0;
    // The offered delays with their titles, in order.
    std::vector<std::pair<int, QString>> selfTimerChoices;
    // The version of an announced update, while there is one.
    std::optional<QString> availableUpdateVersion;
    QString reviewTitle;
    bool reviewEnabled = true;
};

// What the status menu's items run. A command left empty stands for a target
// that is not built yet: its item is shown, disabled.
struct StatusMenuCommands {
    std::function<void(CaptureAction)> performAction;
    std::function<void(int)> chooseSelfTimer;
    std::function<void()> openEditor;
    std::function<void()> showFolder;
    std::function<void()> showUpdate;
    std::function<void()> openAbout;
    std::function<void()> checkForUpdates;
    std::function<void()> writeReview;
    std::function<void()> openWelcome;
    std::function<void()> openSettings;
    std::function<void()> quit;
};

// The part of the state the settings store holds: the shortcut texts of the
// stored shortcut map and the self-timer delay.
StatusMenuState statusMenuStateFromSettings(const Preferences& preferences);

// Empties the menu and fills it from the state. Every item carries its command
// name as object name ("performAction:area", "chooseSelfTimer:5",
// "openSettings", …) and capture items carry the action's raw value as data.
void buildStatusMenu(QMenu* menu, const StatusMenuState& state, const StatusMenuCommands& commands);

} // namespace app
