// Which of the program's windows carry the main menu bar, and that the others
// still answer the menu's keys.
#include "app/AlertPresenter.h"
#include "app/MainMenu.h"
#include "app/Recording.h"
#include "app/SettingsFile.h"
#include "editor/EditorWindowController.h"
#include "service/ReviewWindow.h"
#include "service/Reviews.h"
#include "service/Updates.h"

#include "settings/AboutWindowController.h"
#include "settings/SettingsWindowController.h"
#include "settings/WelcomeWindowController.h"
#include "videoeditor/VideoEditorWindowController.h"
#include <QMessageBox>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

namespace {

// The one shown top-level window that opening added.
QWidget* openNewWindow(const std::function<void()>& open) {
    const QWidgetList before = QApplication::topLevelWidgets();
    const QSet<QWidget*> known(before.begin(), before.end());
    open();
    QWidget* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!known.contains(widget) && widget->isVisible()) {
            EXPECT_EQ(found, nullptr) << "more than one window opened";
            found = widget;
        }
    }
    return found;
}

void pressCtrl(QWidget* window, Qt::Key key) {
    QTest::keyClick(window->windowHandle(), key, Qt::ControlModifier);
}

TEST(WindowKeys, OnlyDocumentWindowsCarryTheMenuBarAndEveryWindowAnswersItsKeys) {
    int settingsShown = 0;
    app::MainMenuCommands commands;
    commands.showSettings = [&] { ++settingsShown; };
    app::MainMenu menu(commands);

    struct Case {
        const char* window;
        std::function<void()> open;
        bool menuBar;
    };
    const Case cases[] = {
        {"settings",
         [] { settings::SettingsWindowController::show(settings::SettingsSection::general); },
         false},
        {"about", [] { settings::AboutWindowController::show(); }, false},
        {"welcome", [] { settings::WelcomeWindowController::show(); }, false},
        {"review", [] { service::ReviewWindowController::show(); }, false},
        {"update",
         [] {
             QMessageBox* box = app::makeAlertBox(
                 {QStringLiteral("Vexlin Capture 2.4 is available"), {}, {"Update", "Later"}, 1});
             box->setAttribute(Qt::WA_DeleteOnClose);
             box->show();
         },
         false},
        {"editor", [] { editor::EditorWindowController::open(std::nullopt); }, true},
        {"video editor", [] { videoeditor::VideoEditorWindowController::open(app::Recording{}); },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        const QPointer<QWidget> window = openNewWindow(c.open);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->findChild<QMenuBar*>() != nullptr, c.menuBar);

        QApplication::setActiveWindow(window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        const int before = settingsShown;
        pressCtrl(window, Qt::Key_Comma);
        EXPECT_EQ(settingsShown, before + 1);
        pressCtrl(window, Qt::Key_W);
        EXPECT_TRUE(window.isNull() || !window->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Closing the welcome window completed onboarding in the program's own
    // settings file.
    const QString settingsFile = app::settingsFilePath();
    QFile::remove(settingsFile);
    QDir().rmdir(QFileInfo(settingsFile).path());
}

} // namespace
