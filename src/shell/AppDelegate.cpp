#include "shell/AppDelegate.h"

#include "annotation/EditStore.h"
#include "app/AppPresence.h"
#include "app/HotKeyCenter.h"
#include "app/HotKeySync.h"
#include "app/ImageFiles.h"
#include "app/MainMenu.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "app/StatusBarController.h"
#include "capture/CoordinatorTrace.h"
#include "capture/RecordingFlow.h"
#include "capture/ScreenCapturer.h"
#include "capture/ScreenshotFlow.h"
#include "capture/ScrollingFlow.h"
#include "capture/TextCaptureFlow.h"
#include "delivery/PinManager.h"
#include "delivery/QuickAccessManager.h"
#include "delivery/RecentCapturesStrip.h"
#include "delivery/SharePicker.h"
#include "desktop/ScreenPermission.h"
#include "desktop/SelfTimer.h"
#include "editor/EditorServices.h"
#include "editor/EditorWindowController.h"
#include "editor/export/EditorExport.h"
#include "platform/WindowManagerRequests.h"
#include "recording/RecordingFiles.h"
#include "service/InstallCount.h"
#include "service/ReviewWindow.h"
#include "service/Reviews.h"
#include "service/SelfUpdate.h"
#include "service/Updates.h"
#include "settings/AboutView.h"
#include "settings/AboutWindowController.h"
#include "settings/HiddenAppsSource.h"
#include "settings/LaunchAtLogin.h"
#include "settings/SettingsWindowController.h"
#include "settings/WelcomeWindowController.h"
#include "shell/HotKeyEscape.h"
#include "shell/RecordingSessions.h"
#include "shell/RunningHiddenApps.h"
#include "videoeditor/VideoEditorWindowController.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace shell {

namespace {

// Lends the capture overlays and sessions the hot keys' Escape.
HotKeyEscape& hotKeyEscape() {
    static HotKeyEscape escape;
    return escape;
}

capture::CaptureCoordinator::Services coordinatorServices() {
    capture::CaptureCoordinator::Services services = capture::CaptureCoordinator::defaultServices();
    services.captureTimer = [] {
        return static_cast<int>(app::Preferences::shared().captureTimer());
    };
    services.showWelcome = [] { settings::WelcomeWindowController::show(); };
    services.escapeKey = &hotKeyEscape();
    return services;
}

} // namespace

AppDelegate::AppDelegate()
    : coordinator_(
          std::make_unique<capture::CaptureCoordinator>(captureFlows(), coordinatorServices())) {}

capture::CaptureFlows AppDelegate::captureFlows() {
    // One delivery for every finished picture, screenshot or scrolling
    // capture alike: it goes on to the editor or a Quick Access card.
    capture::ScreenshotDelivery::Services outputs = capture::ScreenshotDelivery::defaultServices();
    outputs.openEditor = &AppDelegate::openInEditor;
    outputs.showQuickAccess = [](const app::Capture& capture) {
        delivery::QuickAccessManager::shared().show(app::QuickAccessItem(capture));
    };
    const auto pictures = std::make_shared<const capture::ScreenshotDelivery>(std::move(outputs));

    capture::ScrollingFlow::Services scrolling = capture::ScrollingFlow::defaultServices();
    scrolling.escapeKey = &hotKeyEscape();
    // A finished recording goes to the video editor or a Quick Access card.
    capture::RecordingFlow::Services recordings = capture::RecordingFlow::defaultServices();
    recordings.makeSession = recordingSessionMaker(hotKeyEscape());
    recordings.saveCopy = &saveRecordingCopy;
    recordings.openVideoEditor = [](const app::Recording& recording) {
        videoeditor::VideoEditorWindowController::open(recording);
    };
    recordings.showQuickAccess = [](const app::Recording& recording) {
        delivery::QuickAccessManager::shared().show(app::QuickAccessItem(recording));
    };

    const auto screenshot = std::make_shared<capture::ScreenshotFlow>(pictures);
    capture::CaptureFlows flows;
    flows.fullScreen = screenshot;
    flows.screenshot = screenshot;
    flows.scrolling = std::make_shared<capture::ScrollingFlow>(pictures, std::move(scrolling));
    flows.text = std::make_shared<capture::TextCaptureFlow>();
    flows.recording = std::make_shared<capture::RecordingFlow>(std::move(recordings));
    return flows;
}

AppDelegate::~AppDelegate() = default;

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

    // The program starts in the tray alone (AppPresence begins as an
    // accessory); its windows bring it into the task bar while they are open.
    buildMainMenu();
    createStatusBar();

    // Global hot keys: every press runs its action, not from a menu; the
    // registration follows the stored shortcut map from now on.
    app::HotKeyCenter::shared().onAction = [self](app::CaptureAction action) {
        if (self) {
            self->perform(action, false);
        }
    };
    hotKeySync_ = std::make_unique<app::HotKeySync>(
        app::Preferences::shared(),
        [](const app::ShortcutMap& map) { app::HotKeyCenter::shared().registerAll(map); });
    if (capture::coordinatorTraceEnabled()) {
        // For the X11 tests: which actions another program's grab kept from us.
        const auto traceConflicts = [] {
            QStringList names;
            for (app::CaptureAction action : app::HotKeyCenter::shared().conflicts()) {
                names.append(app::rawValue(action));
            }
            capture::traceCoordinator(QStringLiteral("hotkeys conflicts=") +
                                      names.join(QLatin1Char(',')));
        };
        traceConflicts();
        connect(&app::HotKeyCenter::shared(), &app::HotKeyCenter::conflictsChanged, this,
                traceConflicts);
    }

    delivery::QuickAccessManager& quickAccess = delivery::QuickAccessManager::shared();
    quickAccess.onEdit = &AppDelegate::openInEditor;
    quickAccess.onPin = [](const app::Capture& capture) {
        delivery::PinManager::shared().pin(capture);
    };
    quickAccess.onEditRecording = [](const app::Recording& recording) {
        videoeditor::VideoEditorWindowController::open(recording);
    };

    coordinator_->recordingIndicator = [self](const std::optional<QString>& elapsed) {
        if (self && self->statusBar_) {
            self->statusBar_->setRecording(elapsed);
        }
    };
    if (statusBar_) {
        // The stop button ends a recording exactly as the record hot key does.
        statusBar_->setOnStopRecording([self] {
            if (self) {
                self->perform(app::CaptureAction::record, false);
            }
        });
    }

    recording::removeExpiredRecordings();
    recoverCutOffRecordings();
    app::removeOldDragFolders();
    annotation::EditStore::shared().scheduleCleanup();
    delivery::PinManager::shared().onEdit = &AppDelegate::openInEditor;
    // The recent strip's way to the save-folder setting.
    delivery::RecentCapturesStrip::openSettings = [] {
        settings::SettingsWindowController::show(settings::SettingsSection::general);
    };
    // The editor's Pin and Share, set here so that tests can put their own.
    editor::ExportServices& exports = editor::ExportServices::shared();
    exports.pin = [](const app::Capture& capture) { delivery::PinManager::shared().pin(capture); };
    exports.share = [](const QString& file, QWidget* anchor) {
        delivery::SharePicker::show(file, anchor);
    };
    // A video of the editor's recent strip plays in the video editor.
    editor::EditorServices::current().openVideo = [](const app::RecentFile& video, double scale) {
        videoeditor::VideoEditorWindowController::openFile(video.path, video.date, scale);
    };
    // Pinned screenshots stay in the pictures of the screen.
    capture::ScreenCapturer::setPinnedWindowNumbers([] {
        QSet<std::uint32_t> numbers;
        for (const std::uint32_t number : delivery::PinManager::shared().windowNumbers()) {
            numbers.insert(number);
        }
        return numbers;
    });

    // The updater starts the new copy the way a restart does, and waits
    // while an editor holds changes that were not saved.
    service::SelfUpdate::shared().setProgramHooks(
        desktop::ScreenPermission::startWhenThisProcessEnds, [] {
            for (const editor::EditorWindowController* open :
                 editor::EditorWindowController::openEditors()) {
                if (open->hasUnsavedChanges()) {
                    return false;
                }
            }
            return true;
        });
    service::Updates::shared().start();
    service::InstallCount::shared().start();
    // A review says which translation the program runs in.
    service::Reviews::shared().setLanguageSource([] { return settings::preferredLocalization(); });

    // The settings list the running applications a recording can hide, and
    // the welcome guide offers to open at login.
    settings::HiddenAppsSource::setCurrent(new RunningHiddenApps(this));
    settings::WelcomeWindowController::setLaunchAtLogin(
        {.isEnabled = [] { return settings::isLaunchAtLoginEnabled(); },
         .set = [](bool enabled) { settings::setLaunchAtLogin(enabled); }});

    // Screen access is asked only once onboarding is complete, and never by
    // raising a request here.
    if (!app::Preferences::shared().hasCompletedOnboarding() ||
        !desktop::ScreenPermission::preflight()) {
        settings::WelcomeWindowController::show();
    }
}

void AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
    // Without a task bar nothing shows the windows "Hide Vexlin Capture"
    // minimised; starting the program again brings them back, as relaunching
    // a hidden application does.
    QWidget* restored = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (widget->isVisible() && widget->isMinimized() &&
            (type == Qt::Window || type == Qt::Dialog)) {
            widget->showNormal();
            restored = widget;
        }
    }
    if (restored != nullptr) {
        restored->raise();
        if (!platform::requestWindowActivation(restored->windowHandle())) {
            restored->activateWindow();
        }
        return;
    }
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
        .openImage = call(&AppDelegate::openImage),
        .capture =
            [self](app::CaptureAction action) {
                if (self) {
                    self->perform(action, true);
                }
            },
    });
}

void AppDelegate::createStatusBar() {
    QPointer<AppDelegate> self(this);
    statusBar_ = std::make_unique<app::StatusBarController>([self](app::CaptureAction action) {
        if (self) {
            self->perform(action, true);
        }
    });
    statusBar_->setStateProvider(
        [self] { return self ? self->statusMenuState() : app::StatusMenuState{}; });
    statusBar_->setCommands(app::StatusMenuCommands{
        .performAction = {},
        .chooseSelfTimer = [](int seconds) { app::Preferences::shared().setCaptureTimer(seconds); },
        .openEditor =
            [] {
                if (editor::EditorWindowController* front =
                        editor::EditorWindowController::frontmost()) {
                    front->showAndActivate();
                    return;
                }
                app::activateAsRegularApp();
                QMetaObject::invokeMethod(
                    qApp, [] { editor::EditorWindowController::openLatest(); },
                    Qt::QueuedConnection);
            },
        .showFolder = [] { app::SaveLocation::showFolder(); },
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
        .quit = [] { app::terminateApplication(); },
    });
    statusBar_->announceIfNoTray(
        app::Preferences::shared().shortcuts().value(app::CaptureAction::area));
}

app::StatusMenuState AppDelegate::statusMenuState() const {
    app::StatusMenuState state = app::statusMenuStateFromSettings(app::Preferences::shared());
    for (int delay : desktop::SelfTimer::delays()) {
        state.selfTimerChoices.emplace_back(delay, desktop::SelfTimer::title(delay));
    }
    if (const auto& update = service::Updates::shared().available()) {
        state.availableUpdateVersion = update->version;
    }
    const bool sent = service::Reviews::shared().reviewSent();
    state.reviewTitle = service::Reviews::menuItemTitle(sent);
    state.reviewEnabled = !sent;
    return state;
}

void AppDelegate::perform(app::CaptureAction action, bool fromMenu) {
    coordinator_->perform(action, fromMenu);
}

void AppDelegate::openInEditor(const app::Capture& capture) {
    editor::EditorWindowController::openContent(editor::EditorContent::forCapture(capture));
}

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

void AppDelegate::openImage() {
    chooseImageToAnnotate();
}

void AppDelegate::chooseImageToAnnotate() {
    editor::EditorWindowController::chooseImageToAnnotate();
}

} // namespace shell
