#include "app/StatusMenu.h"

#include "app/MenuText.h"
#include "app/Preferences.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>

namespace app {

namespace {

// The copy items have a submenu of their own and show the pictures of their
// plain counterparts.
QString itemSymbolName(CaptureAction action) {
    switch (action) {
    case CaptureAction::areaCopy:
        return symbolName(CaptureAction::area);
    case CaptureAction::windowCopy:
        return symbolName(CaptureAction::window);
    case CaptureAction::fullscreenCopy:
        return symbolName(CaptureAction::fullscreen);
    default:
        return symbolName(action);
    }
}

QAction* addCommand(QMenu* menu, const QString& name, const QString& title,
                    const std::function<void()>& command) {
    QAction* action = menu->addAction(menuTitle(title));
    action->setObjectName(name);
    if (command) {
        QObject::connect(action, &QAction::triggered, action, [command] { command(); });
    } else {
        action->setEnabled(false);
    }
    return action;
}

void addCaptureItem(QMenu* menu, CaptureAction action, const StatusMenuState& state,
                    const StatusMenuCommands& commands) {
    const auto shortcut = state.shortcutTexts.find(action);
    const QString shortcutText =
        shortcut == state.shortcutTexts.end() ? QString() : shortcut->second;
    // Copy actions show the picture of their plain counterpart.
    QAction* item =
        menu->addAction(menuSymbol(itemSymbolName(action)), menuTitle(title(action), shortcutText));
    item->setObjectName(QStringLiteral("performAction:") + rawValue(action));
    item->setData(rawValue(action));
    if (!commands.performAction) {
        item->setEnabled(false);
        return;
    }
    const auto perform = commands.performAction;
    QObject::connect(item, &QAction::triggered, item, [item, perform] {
        if (item->data().typeId() != QMetaType::QString) {
            return;
        }
        if (const auto chosen = captureActionFromRawValue(item->data().toString())) {
            perform(*chosen);
        }
    });
}

void addSelfTimerMenu(QMenu* menu, const StatusMenuState& state,
                      const StatusMenuCommands& commands) {
    QMenu* timer =
        //: Menu bar submenu: seconds to wait before a screenshot is taken
        menu->addMenu(menuSymbol(QStringLiteral("timer")),
                      QCoreApplication::translate("StatusMenu", "Self-Timer"));
    timer->menuAction()->setObjectName(QStringLiteral("selfTimer"));
    auto* group = new QActionGroup(timer);
    for (const auto& [delay, title] : state.selfTimerChoices) {
        QAction* item = timer->addAction(menuTitle(title));
        item->setObjectName(QStringLiteral("chooseSelfTimer:") + QString::number(delay));
        item->setData(delay);
        item->setCheckable(true);
        item->setChecked(delay == state.captureTimer);
        group->addAction(item);
        if (commands.chooseSelfTimer) {
            const auto choose = commands.chooseSelfTimer;
            QObject::connect(item, &QAction::triggered, item,
                             [choose, delay = delay] { choose(delay); });
        } else {
            item->setEnabled(false);
        }
    }
}

} // namespace

StatusMenuState statusMenuStateFromSettings(const Preferences& preferences) {
    StatusMenuState state;
    const ShortcutMap shortcuts = preferences.shortcuts();
    for (CaptureAction action : captureActions::allCases()) {
        if (const auto shortcut = shortcuts.value(action)) {
            state.shortcutTexts[action] = shortcut->displayText();
        }
    }
    state.captureTimer = static_cast<int>(preferences.captureTimer());
    return state;
}

void buildStatusMenu(QMenu* menu, const StatusMenuState& state,
                     const StatusMenuCommands& commands) {
    // Submenus made by an earlier build are children of the menu; clear()
    // removes the items but not them.
    for (QMenu* old : menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
        old->deleteLater();
    }
    menu->clear();

    for (CaptureAction action : captureActions::menuOrder()) {
        addCaptureItem(menu, action, state, commands);
    }
    QMenu* copy =
        menu->addMenu(menuSymbol(QStringLiteral("doc.on.clipboard")),
                      //: Menu bar submenu holding the capture-to-clipboard actions
                      menuTitle(QCoreApplication::translate("StatusMenu", "Capture & Copy")));
    copy->menuAction()->setObjectName(QStringLiteral("captureAndCopy"));
    for (CaptureAction action : captureActions::copyActions()) {
        addCaptureItem(copy, action, state, commands);
    }
    addSelfTimerMenu(menu, state, commands);
    menu->addSeparator();

    addCommand(menu, QStringLiteral("openEditor"),
               //: Menu bar item that opens the editor with the latest screenshot
               QCoreApplication::translate("StatusMenu", "Open Editor"), commands.openEditor)
        ->setIcon(menuSymbol(QStringLiteral("pencil")));
    //: Menu bar item that opens the save folder in the file manager
    addCommand(menu, QStringLiteral("showFolder"),
               QCoreApplication::translate("StatusMenu", "Show Screenshots Folder"),
               commands.showFolder)
        ->setIcon(menuSymbol(QStringLiteral("folder")));
    menu->addSeparator();

    if (state.availableUpdateVersion) {
        addCommand(menu, QStringLiteral("showUpdate"),
                   //: Menu bar item shown while a newer Vexlin Capture is out
                   QCoreApplication::translate("StatusMenu", "Update Available: Vexlin Capture %1…")
                       .arg(*state.availableUpdateVersion),
                   commands.showUpdate);
    }
    //: Menu bar item that opens the About window
    addCommand(menu, QStringLiteral("openAbout"),
               QCoreApplication::translate("StatusMenu", "About Vexlin Capture…"),
               commands.openAbout);
    //: Menu bar item that checks for a newer version
    addCommand(menu, QStringLiteral("checkForUpdates"),
               QCoreApplication::translate("StatusMenu", "Check for Updates…"),
               commands.checkForUpdates);
    QAction* review =
        addCommand(menu, QStringLiteral("writeReview"), state.reviewTitle, commands.writeReview);
    review->setEnabled(review->isEnabled() && state.reviewEnabled);
    //: Menu bar item that opens the welcome guide
    addCommand(menu, QStringLiteral("openWelcome"),
               QCoreApplication::translate("StatusMenu", "Welcome Guide…"), commands.openWelcome);
    menu->addSeparator();
    //: Menu bar item that opens the settings window
    addCommand(menu, QStringLiteral("openSettings"),
               QCoreApplication::translate("StatusMenu", "Settings…"), commands.openSettings)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    menu->addSeparator();
    //: Menu bar item that quits the app
    addCommand(menu, QStringLiteral("quit"), QCoreApplication::translate("StatusMenu", "Quit"),
               commands.quit)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

} // namespace app
