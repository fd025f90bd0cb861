#pragma once

#include "app/Capture.h"
#include "app/CaptureAction.h"
#include "app/StatusMenu.h"
#include "capture/CaptureCoordinator.h"

#include <QObject>

#include <memory>

namespace app {
class HotKeySync;
class MainMenu;
class StatusBarController;
} // namespace app

namespace shell {

// The composition root: creates every long-lived object of the program in a
// fixed order at start-up and wires the callbacks between them, so that no
// library has to know the ones above it. It is also the target of the main
// menu's own items.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    // The start-up sequence; runs once, before the event loop.
    void applicationDidFinishLaunching();
    // The program was started again while it runs: its minimised windows come
    // back, one of them in front with the keyboard; with no window of its own
    // at all, the settings open on their first section.
    void applicationShouldHandleReopen(bool hasVisibleWindows);

    void showAbout();
    void checkForUpdates();
    void writeReview();
    void showSettings();
    void openImage();

    // The open panel for an image to annotate; opens the choice in the editor.
    static void chooseImageToAnnotate();

    // Opens a capture in the first open editor that shows nothing, else in a
    // new editor.
    static void openInEditor(const app::Capture& capture);

    // The program's capture flows, every one with its outputs wired; the
    // screenshot and the scrolling capture share one delivery.
    static capture::CaptureFlows captureFlows();

    capture::CaptureCoordinator& coordinator() { return *coordinator_; }
    app::MainMenu* mainMenu() const { return mainMenu_.get(); }
    app::StatusBarController* statusBar() const { return statusBar_.get(); }

    // The status menu's contents as they are now.
    app::StatusMenuState statusMenuState() const;

    // Whether any window of the program is open, minimised ones included.
    static bool hasVisibleWindows();

private:
    void buildMainMenu();
    void createStatusBar();
    void perform(app::CaptureAction action, bool fromMenu);

    std::unique_ptr<capture::CaptureCoordinator> coordinator_;
    std::unique_ptr<app::MainMenu> mainMenu_;
    std::unique_ptr<app::StatusBarController> statusBar_;
    std::unique_ptr<app::HotKeySync> hotKeySync_;
};

} // namespace shell
