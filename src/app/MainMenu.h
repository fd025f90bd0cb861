#pragma once

#include "app/CaptureAction.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace app {

// What the program's own items of the main menu run. A command left empty
// stands for a target that is not built yet: its item is shown, disabled.
struct MainMenuCommands {
    std::function<void()> showAbout;
    std::function<void()> checkForUpdates;
    std::function<void()> writeReview;
    // Sets the review item's title and enabled state each time the menu opens.
    std::function<void(QAction*)> validateReviewItem;
    std::function<void()> showSettings;
    std::function<void()> openImage;
    // Runs a capture chosen in the Capture menu (always "from a menu").
    std::function<void(CaptureAction)> capture;
};

// The application, File, Edit, Capture and Window menus, built once and shared
// by every window of the program: each window gets its own QMenuBar that holds
// these same menus, so an item's state is the same everywhere. Items without a
// target of their own go to the focused widget or the active window (see
// ResponderChain.h) and are enabled only while one answers them.
class MainMenu : public QObject {
    Q_OBJECT
public:
    explicit MainMenu(MainMenuCommands commands, QObject* parent = nullptr);
    ~MainMenu() override;

    // The one main menu of the process, while it exists.
    static MainMenu* shared();
    // Puts a menu bar with the shared menus at the top of the window's layout;
    // does nothing before the main menu exists or for a window without layout.
    // Only document windows (the editors) carry the menu bar.
    static void installIn(QWidget* window);
    // For the other windows (settings, about, welcome, review, update): no
    // menu bar, but Close (Ctrl+W), Quit (Ctrl+Q), Settings (Ctrl+,) and Hide
    // (Ctrl+H) work while the window is active. Does nothing before the main
    // menu exists.
    static void installKeysIn(QWidget* window);

    // The program's windows as the user sees them: shown, titled, managed
    // windows and dialogs; not menus, tool tips, panels or capture overlays.
    static QList<QWidget*> programWindows();

    QMenuBar* createMenuBar(QWidget* parent) const;
    // The five top-level menus in order.
    QList<QMenu*> menus() const;
    // The item whose object name is the given command name ("showAbout",
    // "saveDocument", "captureFromMenu:area", …), or none.
    QAction* item(const QString& name) const;

    // Runs the capture named by the item's data; data that names no action
    // does nothing.
    void captureFromMenu(const QAction* item);
    // Brings every item's enabled state (and the review item's title) up to
    // date; runs each time a menu opens and whenever the focus moves.
    void validate();

private:
    QAction* addCommand(QMenu* menu, const QString& name, const QString& title,
                        const std::function<void()>& command);
    QAction* addResponderItem(QMenu* menu, const char* slot, const QString& name,
                              const QString& title);
    void buildApplicationMenu();
    void buildFileMenu();
    void buildEditMenu();
    void buildCaptureMenu();
    void buildWindowMenu();
    void listWindows();

    struct ResponderItem {
        QAction* action;
        const char* slot;
    };

    MainMenuCommands commands_;
    std::vector<std::unique_ptr<QMenu>> menus_;
    std::vector<ResponderItem> responderItems_;
    std::vector<QAction*> activeWindowItems_;
    QAction* reviewItem_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QList<QAction*> windowListItems_;
};

} // namespace app
