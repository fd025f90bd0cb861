#include "shell/AppDelegate.h"

#include "app/HotKeyCenter.h"
#include "app/HotKeySync.h"
#include "app/MainMenu.h"
#include "app/Preferences.h"
#include "app/StatusBarController.h"
#include "recording/RecordingFiles.h"
#include "service/InstallCount.h"
#include "service/Reviews.h"
#include "service/Updates.h"
#include "settings/AboutWindowController.h"
#include "settings/SettingsWindowController.h"
#include "settings/WelcomeWindowController.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace shell {

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() = default;

bool AppDelegate::isTestRun() {
    return qEnvironmentVariableIsSet("XCTestConfigurationFilePath");
}

bool AppDelegate::hasVisibleWindows() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (widget->isVisible() && (type == Qt::Window || type == Qt::Dialog)) {
            return true;
        }
    }
    return false;
}

void AppDelegate::applicationDidFinishLaunching() {
    QPointer<AppDelegate> self(this);

    // The program starts in the tray alone; its windows bring it into the task
    // bar while they are open.
    buildMainMenu();

    statusBar_ =
        std::make_unique<app::StatusBarController>(QIcon(), [self](app::CaptureAction action) {
            if (self) {
                self->perform(action, true);
            }
        });
    statusBar_->setStateProvider(
        [self] { return self ? self->statusMenuState() : app::StatusMenuState{}; });
    statusBar_->setCommands(app::StatusMenuCommands{
        .performAction = {},
        .chooseSelfTimer = [](int seconds) { app::Preferences::shared().setCaptureTimer(seconds); },
        .openEditor = {},
        .showFolder = {},
        .showUpdate =
            [] {
                if (const auto& manifest = service::Updates::shared().available()) {
                    service::Updates::shared().showUpdateAlert(*manifest);
                }
            },
        .openAbout = [] { settings::AboutWindowController::show(); },
        .checkForUpdates =
            [self] {
                if (self) {
                    self->checkForUpdates();
                }
            },
        .writeReview = [] { service::ReviewWindowController::show(); },
        .openWelcome = [] { settings::WelcomeWindowController::show(); },
        .openSettings =
            [] { settings::SettingsWindowController::show(settings::SettingsSection::general); },
        .quit = [] { QCoreApplication::quit(); },
    });

    // Global hot keys: every press runs its action, not from a menu; the
    // registration follows the stored shortcut map from now on.
    app::HotKeyCenter& hotKeys = app::HotKeyCenter::shared();
    hotKeys.onAction = [self](app::CaptureAction action) {
        if (self) {
            self->perform(action, false);
        }
    };
    hotKeySync_ = std::make_unique<app::HotKeySync>(
        app::Preferences::shared(), [](const app::HotKeyCenter::ShortcutMap& map) {
            app::HotKeyCenter::shared().registerAll(map);
        });

    recording::removeExpiredRecordings();

    service::Updates::shared().start();
    service::InstallCount::shared().start();

    if (!app::Preferences::shared().hasCompletedOnboarding()) {
        settings::WelcomeWindowController::show();
    }
}

void AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
    if (!hasVisibleWindows) {
        showSettings();
    }
}

void AppDelegate::buildMainMenu() {
    QPointer<AppDelegate> self(this);
    const auto call = [self](void (AppDelegate::*method)()) {
        return [self, method] {
            if (self) {
                (self.data()->*method)();
            }
        };
    };
    mainMenu_ = std::make_unique<app::MainMenu>(app::MainMenuCommands{
        .showAbout = call(&AppDelegate::showAbout),
        .checkForUpdates = call(&AppDelegate::checkForUpdates),
        .writeReview = call(&AppDelegate::writeReview),
        .validateReviewItem =
            [](QAction* item) { service::Reviews::shared().updateMenuItem(item); },
        .showSettings = call(&AppDelegate::showSettings),
        .openImage = {},
        .capture = {},
    });
}

app::StatusMenuState AppDelegate::statusMenuState() const {
    app::StatusMenuState state = app::statusMenuStateFromSettings(app::Preferences::shared());
    if (const auto& update = service::Updates::shared().available()) {
        state.availableUpdateVersion = update->version;
    }
    const bool sent = service::Reviews::shared().reviewSent();
    state.reviewTitle = service::Reviews::menuItemTitle(sent);
    state.reviewEnabled = !sent;
    return state;
}

void AppDelegate::perform(app::CaptureAction /*action*/, bool /*fromMenu*/) {}

void AppDelegate::showAbout() {
    settings::AboutWindowController::show();
}

void AppDelegate::checkForUpdates() {
    // After the menu has closed, as a check the user asked for.
    QMetaObject::invokeMethod(
        this, [] { service::Updates::shared().check(true); }, Qt::QueuedConnection);
}

void AppDelegate::writeReview() {
    service::ReviewWindowController::show();
}

void AppDelegate::showSettings() {
    settings::SettingsWindowController::show(settings::SettingsSection::general);
}

void AppDelegate::openImage() {}

} // namespace shell
