#include "app/MainMenu.h"

#include "app/AppPresence.h"
#include "app/Bundle.h"
#include "app/MenuText.h"
#include "app/ResponderChain.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <QWindow>

namespace app {

namespace {

MainMenu* sharedMenu = nullptr;

// The title as the window's frame shows it: Qt's "[*]" placeholder stands
// for nothing, or for "*" while the window holds unsaved changes ("[*][*]"
// for a literal "[*]").
QString shownTitle(const QWidget* window) {
    static const QString placeholder = QStringLiteral("[*]");
    const QStringList parts = window->windowTitle().split(placeholder + placeholder);
    QStringList shown;
    for (QString part : parts) {
        shown.append(part.replace(placeholder,
                                  window->isWindowModified() ? QStringLiteral("*") : QString()));
    }
    return shown.join(placeholder);
}

} // namespace

QList<QWidget*> MainMenu::programWindows() {
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        // Frameless and unmanaged windows are the capture overlays, region
        // frames and the like: furniture, not windows to pick or hide.
        const bool managed =
            !(widget->windowFlags() & (Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint));
        if (widget->isVisible() && (type == Qt::Window || type == Qt::Dialog) && managed &&
            !widget->windowTitle().trimmed().isEmpty()) {
            windows.append(widget);
        }
    }
    return windows;
}

MainMenu::MainMenu(MainMenuCommands commands, QObject* parent)
    : QObject(parent), commands_(std::move(commands)) {
    buildApplicationMenu();
    buildFileMenu();
    buildEditMenu();
    buildCaptureMenu();
    buildWindowMenu();
    for (const auto& menu : menus_) {
        connect(menu.get(), &QMenu::aboutToShow, this, &MainMenu::validate);
    }
    connect(qApp, &QApplication::focusChanged, this, &MainMenu::validate);
    // A window without a focusable widget becomes active without any focus
    // change; its keys (Ctrl+W) must work all the same.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &MainMenu::validate);
    validate();
    if (sharedMenu == nullptr) {
        sharedMenu = this;
    }
}

MainMenu::~MainMenu() {
    if (sharedMenu == this) {
        sharedMenu = nullptr;
    }
}

MainMenu* MainMenu::shared() {
    return sharedMenu;
}

void MainMenu::installIn(QWidget* window) {
    if (sharedMenu == nullptr || window == nullptr || window->layout() == nullptr) {
        return;
    }
    window->layout()->setMenuBar(sharedMenu->createMenuBar(window));
}

void MainMenu::installKeysIn(QWidget* window) {
    if (sharedMenu == nullptr || window == nullptr) {
        return;
    }
    // The menu's own items, so that their state and work stay the menu's; an
    // item added to a window answers its key while that window is active.
    for (const char* name : {"performClose", "terminate", "showSettings", "hide"}) {
        if (QAction* item = sharedMenu->item(QString::fromLatin1(name))) {
            window->addAction(item);
        }
    }
}

QMenuBar* MainMenu::createMenuBar(QWidget* parent) const {
    auto* bar = new QMenuBar(parent);
    for (const auto& menu : menus_) {
        bar->addMenu(menu.get());
    }
    return bar;
}

QList<QMenu*> MainMenu::menus() const {
    QList<QMenu*> list;
    for (const auto& menu : menus_) {
        list.append(menu.get());
    }
    return list;
}

QAction* MainMenu::item(const QString& name) const {
    for (const auto& menu : menus_) {
        for (QAction* action : menu->actions()) {
            if (action->objectName() == name) {
                return action;
            }
        }
    }
    return nullptr;
}

QAction* MainMenu::addCommand(QMenu* menu, const QString& name, const QString& title,
                              const std::function<void()>& command) {
    QAction* action = menu->addAction(menuTitle(title));
    action->setObjectName(name);
    if (command) {
        connect(action, &QAction::triggered, this, [command] { command(); });
    } else {
        action->setEnabled(false);
    }
    return action;
}

QAction* MainMenu::addResponderItem(QMenu* menu, const char* slot, const QString& name,
                                    const QString& title) {
    QAction* action = menu->addAction(menuTitle(title));
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [slot] { sendToFirstResponder(slot); });
    responderItems_.push_back({action, slot});
    return action;
}

void MainMenu::buildApplicationMenu() {
    const QString name = Bundle::main().appDisplayName();
    auto menu = std::make_unique<QMenu>(menuTitle(name));
    menu->setObjectName(QStringLiteral("applicationMenu"));
    //: Application menu item that opens the About window
    addCommand(menu.get(), QStringLiteral("showAbout"), tr("About Vexlin Capture"),
               commands_.showAbout);
    //: Application menu item that checks for a newer version
    addCommand(menu.get(), QStringLiteral("checkForUpdates"), tr("Check for Updates…"),
               commands_.checkForUpdates);
    reviewItem_ = addCommand(menu.get(), QStringLiteral("writeReview"),
                             //: Menu item and Settings button that opens the review window
                             tr("Write a Review…"), commands_.writeReview);
    menu->addSeparator();
    //: Application menu item that opens the settings window
    QAction* settings = addCommand(menu.get(), QStringLiteral("showSettings"), tr("Settings…"),
                                   commands_.showSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    menu->addSeparator();

    // Hiding on X11 means minimizing: the windows stay in the task bar, from
    // where the user gets them back.
    //: Application menu item that minimizes the program's windows
    QAction* hide = addCommand(menu.get(), QStringLiteral("hide"), tr("Hide Vexlin Capture"), [] {
        for (QWidget* window : programWindows()) {
            window->showMinimized();
        }
    });
    hide->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    // "Hide Others" is left out: other programs' windows are not ours to
    // hide under X11, and an item that is always greyed helps nobody.
    //: Application menu item that restores the program's minimized windows
    addCommand(menu.get(), QStringLiteral("unhideAllApplications"), tr("Show All"), [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isMinimized()) {
                widget->showNormal();
            }
        }
    });
    menu->addSeparator();
    //: Application menu item that quits the program
    QAction* quit = addCommand(menu.get(), QStringLiteral("terminate"), tr("Quit Vexlin Capture"),
                               [] { terminateApplication(); });
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    menus_.push_back(std::move(menu));
}

void MainMenu::buildFileMenu() {
    //: Main menu title
    auto menu = std::make_unique<QMenu>(tr("File"));
    menu->setObjectName(QStringLiteral("fileMenu"));
    //: File menu item that opens an image in the editor
    QAction* open =
        addCommand(menu.get(), QStringLiteral("openImage"), tr("Open Image…"), commands_.openImage);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    menu->addSeparator();
    QAction* close = addCommand(menu.get(), QStringLiteral("performClose"),
                                //: File menu item that closes the front window
                                tr("Close"), [] {
                                    if (QWidget* window = QApplication::activeWindow()) {
                                        window->close();
                                    }
                                });
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    activeWindowItems_.push_back(close);
    QAction* save = addResponderItem(menu.get(), "saveDocument()", QStringLiteral("saveDocument"),
                                     //: File menu item
                                     tr("Save"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    //: File menu item that saves under a new name
    QAction* saveAs = addResponderItem(menu.get(), "saveDocumentAs()",
                                       QStringLiteral("saveDocumentAs"), tr("Save As…"));
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    menus_.push_back(std::move(menu));
}

void MainMenu::buildEditMenu() {
    //: Main menu title
    auto menu = std::make_unique<QMenu>(tr("Edit"));
    menu->setObjectName(QStringLiteral("editMenu"));
    QMenu* edit = menu.get();
    //: Edit menu item
    addResponderItem(edit, "undo()", QStringLiteral("undo"), tr("Undo"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    //: Edit menu item
    addResponderItem(edit, "redo()", QStringLiteral("redo"), tr("Redo"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    edit->addSeparator();
    //: Edit menu item
    addResponderItem(edit, "cut()", QStringLiteral("cut"), tr("Cut"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    //: Edit menu item
    addResponderItem(edit, "copy()", QStringLiteral("copy"), tr("Copy"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    //: Edit menu item
    addResponderItem(edit, "paste()", QStringLiteral("paste"), tr("Paste"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    //: Edit menu item
    addResponderItem(edit, "deleteSelection()", QStringLiteral("delete"), tr("Delete"));
    //: Edit menu item
    addResponderItem(edit, "selectAll()", QStringLiteral("selectAll"), tr("Select All"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    menus_.push_back(std::move(menu));
}

void MainMenu::buildCaptureMenu() {
    //: Main menu title
    auto menu = std::make_unique<QMenu>(tr("Capture"));
    menu->setObjectName(QStringLiteral("captureMenu"));
    const auto addCapture = [this, &menu](CaptureAction action) {
        // The global hot keys are not repeated here: they work without the menu.
        QAction* item = menu->addAction(menuSymbol(symbolName(action)), menuTitle(title(action)));
        item->setObjectName(QStringLiteral("captureFromMenu:") + rawValue(action));
        item->setData(rawValue(action));
        if (commands_.capture) {
            connect(item, &QAction::triggered, this, [this, item] { captureFromMenu(item); });
        } else {
            item->setEnabled(false);
        }
    };
    for (CaptureAction action : captureActions::menuOrder()) {
        addCapture(action);
    }
    if (!captureActions::copyActions().empty()) {
        menu->addSeparator();
        for (CaptureAction action : captureActions::copyActions()) {
            addCapture(action);
        }
    }
    menus_.push_back(std::move(menu));
}

void MainMenu::buildWindowMenu() {
    //: Main menu title
    auto menu = std::make_unique<QMenu>(tr("Window"));
    menu->setObjectName(QStringLiteral("windowMenu"));
    QAction* minimize = addCommand(menu.get(), QStringLiteral("performMiniaturize"),
                                   //: Window menu item
                                   tr("Minimize"), [] {
                                       if (QWidget* window = QApplication::activeWindow()) {
                                           window->showMinimized();
                                       }
                                   });
    minimize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    QAction* zoom =
        addCommand(menu.get(), QStringLiteral("performZoom"),
                   //: Window menu item
                   tr("Zoom"), [] {
                       if (QWidget* window = QApplication::activeWindow()) {
                           window->isMaximized() ? window->showNormal() : window->showMaximized();
                       }
                   });
    activeWindowItems_.push_back(minimize);
    activeWindowItems_.push_back(zoom);
    menu->addSeparator();
    //: Window menu item that raises all of the program's windows
    addCommand(menu.get(), QStringLiteral("arrangeInFront"), tr("Bring All to Front"), [] {
        for (QWidget* window : programWindows()) {
            window->raise();
        }
    });
    windowMenu_ = menu.get();
    // The open windows follow, as on the desktops where this menu comes from.
    connect(windowMenu_, &QMenu::aboutToShow, this, &MainMenu::listWindows);
    menus_.push_back(std::move(menu));
}

void MainMenu::listWindows() {
    for (QAction* action : windowListItems_) {
        windowMenu_->removeAction(action);
        action->deleteLater();
    }
    windowListItems_.clear();
    const QList<QWidget*> windows = programWindows();
    if (windows.isEmpty()) {
        return;
    }
    windowListItems_.append(windowMenu_->addSeparator());
    for (QWidget* window : windows) {
        QAction* action = windowMenu_->addAction(menuTitle(shownTitle(window)));
        action->setCheckable(true);
        action->setChecked(window == QApplication::activeWindow());
        connect(action, &QAction::triggered, window, [window] {
            if (window->isMinimized()) {
                window->showNormal();
            }
            window->raise();
            window->activateWindow();
        });
        windowListItems_.append(action);
    }
}

void MainMenu::captureFromMenu(const QAction* item) {
    if (item == nullptr || !commands_.capture || item->data().typeId() != QMetaType::QString) {
        return;
    }
    if (const auto action = captureActionFromRawValue(item->data().toString())) {
        commands_.capture(*action);
    }
}

void MainMenu::validate() {
    for (const ResponderItem& item : responderItems_) {
        item.action->setEnabled(isCommandEnabled(item.slot));
    }
    const bool hasActiveWindow = QApplication::activeWindow() != nullptr;
    for (QAction* action : activeWindowItems_) {
        action->setEnabled(hasActiveWindow);
    }
    if (reviewItem_ != nullptr && commands_.writeReview && commands_.validateReviewItem) {
        commands_.validateReviewItem(reviewItem_);
    }
}

} // namespace app
