#include "app/MainMenu.h"
#include "app/UnavailableWindow.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

namespace {

using app::CaptureAction;

std::vector<std::string> names(const QMenu* menu) {
    std::vector<std::string> out;
    for (const QAction* action : menu->actions()) {
        out.push_back(action->isSeparator() ? "-" : action->objectName().toStdString());
    }
    return out;
}

// A window whose content answers the File menu's Save commands.
class DocumentWindow : public QWidget {
    Q_OBJECT
public:
    int saves = 0;
public Q_SLOTS:
    void saveDocument() { ++saves; }
    void saveDocumentAs() {}
};

struct Calls {
    std::vector<std::string> list;
    bool reviewSent = false;
    app::MainMenuCommands commands() {
        auto note = [this](const char* name) { return [this, name] { list.emplace_back(name); }; };
        return {
            .showAbout = note("showAbout"),
            .checkForUpdates = note("checkForUpdates"),
            .writeReview = note("writeReview"),
            .validateReviewItem =
                [this](QAction* item) {
                    item->setText(reviewSent ? QStringLiteral("Review Sent")
                                             : QStringLiteral("Write a Review…"));
                    item->setEnabled(!reviewSent);
                },
            .showSettings = note("showSettings"),
            .openImage = note("openImage"),
            .capture =
                [this](CaptureAction action) {
                    list.push_back("capture " + app::rawValue(action).toStdString());
                },
        };
    }
};

TEST(MainMenu, HasTheFiveMenusWithTheirItemsInOrder) {
    Calls calls;
    app::MainMenu menu(calls.commands());
    const QList<QMenu*> menus = menu.menus();
    ASSERT_EQ(menus.size(), 5);
    EXPECT_EQ(menus[0]->title(), QStringLiteral("Vexlin Capture"));
    EXPECT_EQ(menus[1]->title(), QStringLiteral("File"));
    EXPECT_EQ(menus[2]->title(), QStringLiteral("Edit"));
    EXPECT_EQ(menus[3]->title(), QStringLiteral("Capture"));
    EXPECT_EQ(menus[4]->title(), QStringLiteral("Window"));

    using V = std::vector<std::string>;
    EXPECT_EQ(names(menus[0]),
              (V{"showAbout", "checkForUpdates", "writeReview", "-", "showSettings", "-", "hide",
                 "unhideAllApplications", "-", "terminate"}));
    EXPECT_EQ(names(menus[1]),
              (V{"openImage", "-", "performClose", "saveDocument", "saveDocumentAs"}));
    EXPECT_EQ(names(menus[2]),
              (V{"undo", "redo", "-", "cut", "copy", "paste", "delete", "selectAll"}));
    EXPECT_EQ(names(menus[3]),
              (V{"captureFromMenu:area", "captureFromMenu:fullscreen", "captureFromMenu:window",
                 "captureFromMenu:scrolling", "captureFromMenu:text", "captureFromMenu:record", "-",
                 "captureFromMenu:areaCopy", "captureFromMenu:windowCopy",
                 "captureFromMenu:fullscreenCopy"}));
    EXPECT_EQ(names(menus[4]).front(), "performMiniaturize");

    EXPECT_EQ(menu.item(QStringLiteral("captureFromMenu:areaCopy"))->text(),
              QStringLiteral("Capture Area && Copy"));
    EXPECT_TRUE(menu.item(QStringLiteral("captureFromMenu:area"))->shortcut().isEmpty());

    const std::vector<std::pair<const char*, QKeySequence>> keys{
        {"showSettings", QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {"terminate", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {"openImage", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"saveDocumentAs", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
        {"redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
        {"performMiniaturize", QKeySequence(Qt::CTRL | Qt::Key_M)},
        {"delete", QKeySequence()},
    };
    for (const auto& [name, key] : keys) {
        EXPECT_EQ(menu.item(QString::fromLatin1(name))->shortcut(), key) << name;
    }
}

TEST(MainMenu, CaptureItemsRunTheirActionFromTheMenuAndIgnoreOtherData) {
    Calls calls;
    app::MainMenu menu(calls.commands());
    menu.item(QStringLiteral("captureFromMenu:fullscreen"))->trigger();
    QAction* area = menu.item(QStringLiteral("captureFromMenu:area"));
    for (const QVariant& bogus :
         {QVariant(QStringLiteral("bogus")), QVariant(QStringLiteral("AREA")), QVariant(0)}) {
        area->setData(bogus);
        area->trigger();
    }
    menu.captureFromMenu(nullptr);
    EXPECT_EQ(calls.list, std::vector<std::string>{"capture fullscreen"});
}

TEST(MainMenu, ItemsWhoseTargetIsNotBuiltArePresentAndDisabled) {
    Calls calls;
    app::MainMenuCommands commands = calls.commands();
    commands.openImage = {};
    commands.capture = {};
    app::MainMenu menu(commands);
    ASSERT_NE(menu.item(QStringLiteral("openImage")), nullptr);
    EXPECT_FALSE(menu.item(QStringLiteral("openImage"))->isEnabled());
    for (CaptureAction action : app::captureActions::allCases()) {
        const QAction* item = menu.item(QStringLiteral("captureFromMenu:") + app::rawValue(action));
        ASSERT_NE(item, nullptr);
        EXPECT_FALSE(item->isEnabled());
    }
    EXPECT_TRUE(menu.item(QStringLiteral("showSettings"))->isEnabled());
}

TEST(MainMenu, ReviewItemFollowsTheSentFlagEachTimeTheMenuOpens) {
    Calls calls;
    app::MainMenu menu(calls.commands());
    QAction* review = menu.item(QStringLiteral("writeReview"));
    EXPECT_TRUE(review->isEnabled());
    calls.reviewSent = true;
    Q_EMIT menu.menus().front()->aboutToShow();
    EXPECT_FALSE(review->isEnabled());
    EXPECT_EQ(review->text(), QStringLiteral("Review Sent"));
    EXPECT_TRUE(menu.item(QStringLiteral("showAbout"))->isEnabled());
    EXPECT_TRUE(menu.item(QStringLiteral("captureFromMenu:record"))->isEnabled());
}

TEST(MainMenu, StandardCommandsGoToTheFocusedWidgetOrTheActiveWindow) {
    Calls calls;
    app::MainMenu menu(calls.commands());
    menu.validate();
    for (const char* name : {"saveDocument", "copy", "undo", "performClose"}) {
        EXPECT_FALSE(menu.item(QString::fromLatin1(name))->isEnabled()) << name;
    }

    DocumentWindow window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(QStringLiteral("some text"), &window);
    layout->addWidget(field);
    app::MainMenu::installIn(&window);
    ASSERT_NE(window.findChild<QMenuBar*>(), nullptr);
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();
    menu.validate();

    for (const char* name : {"saveDocument", "saveDocumentAs", "copy", "paste", "selectAll",
                             "delete", "performClose", "performMiniaturize"}) {
        EXPECT_TRUE(menu.item(QString::fromLatin1(name))->isEnabled()) << name;
    }
    menu.item(QStringLiteral("selectAll"))->trigger();
    EXPECT_EQ(field->selectedText(), QStringLiteral("some text"));
    menu.item(QStringLiteral("delete"))->trigger();
    EXPECT_EQ(field->text(), QString());
    field->setReadOnly(true);
    menu.validate();
    EXPECT_FALSE(menu.item(QStringLiteral("delete"))->isEnabled());
    menu.item(QStringLiteral("saveDocument"))->trigger();
    EXPECT_EQ(window.saves, 1);
}

// The texts of the window items after the Window menu's own items.
std::vector<std::string> listedWindows(app::MainMenu& menu) {
    QMenu* windowMenu = menu.menus().back();
    Q_EMIT windowMenu->aboutToShow();
    std::vector<std::string> titles;
    bool afterOwnItems = false;
    for (const QAction* action : windowMenu->actions()) {
        if (afterOwnItems && !action->isSeparator()) {
            titles.push_back(action->text().toStdString());
        }
        afterOwnItems = afterOwnItems || action->objectName() == QStringLiteral("arrangeInFront");
    }
    return titles;
}

TEST(MainMenu, WindowMenuListsOnlyTheTitledWindowsOfTheProgram) {
    Calls calls;
    app::MainMenu menu(calls.commands());
    QWidget editor;
    editor.setWindowTitle(QStringLiteral("Shot & Notes.png"));
    QWidget untitled;
    QWidget blankTitle;
    blankTitle.setWindowTitle(QStringLiteral("  "));
    // What the capture overlays and region frames are made of.
    QWidget overlay(nullptr, Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
    overlay.setWindowTitle(QStringLiteral("overlay"));
    QWidget panel(nullptr, Qt::Tool);
    panel.setWindowTitle(QStringLiteral("panel"));
    QWidget hidden;
    hidden.setWindowTitle(QStringLiteral("hidden"));
    for (QWidget* window : {&editor, &untitled, &blankTitle, &overlay, &panel}) {
        window->show();
    }
    EXPECT_EQ(listedWindows(menu), std::vector<std::string>{"Shot && Notes.png"});
    EXPECT_EQ(app::MainMenu::programWindows(), QList<QWidget*>{&editor});
    // Qt's placeholder for the unsaved mark never shows in the menu.
    const struct {
        const char* title;
        bool modified;
        const char* listed;
    } titles[] = {
        {"Vexlin Capture[*]", false, "Vexlin Capture"},
        {"Vexlin Capture[*]", true, "Vexlin Capture*"},
        {"Brackets [*][*] kept[*]", false, "Brackets [*] kept"},
    };
    for (const auto& t : titles) {
        editor.setWindowTitle(QString::fromUtf8(t.title));
        editor.setWindowModified(t.modified);
        EXPECT_EQ(listedWindows(menu), std::vector<std::string>{t.listed}) << t.title;
    }
    editor.setWindowModified(false);

    // Hiding minimizes the program's windows and leaves the overlays alone.
    menu.item(QStringLiteral("hide"))->trigger();
    EXPECT_TRUE(editor.isMinimized());
    EXPECT_FALSE(overlay.isMinimized());
    EXPECT_FALSE(untitled.isMinimized());

    editor.hide();
    EXPECT_TRUE(listedWindows(menu).empty());
}

// A key press as the window system delivers it to the active window.
void press(QWidget* window, Qt::Key key) {
    QTest::keyClick(window->windowHandle(), key, Qt::ControlModifier);
}

void activate(QWidget* window) {
    window->show();
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

TEST(MainMenu, UtilityWindowsHaveNoMenuBarButAnswerTheMenusKeys) {
    Calls calls;
    app::MainMenu menu(calls.commands());
    QSignalSpy quits(menu.item(QStringLiteral("terminate")), &QAction::triggered);

    app::UnavailableWindow settings(QStringLiteral("Settings"), QStringLiteral("Not yet."),
                                    app::UnavailableWindow::Role::utility);
    EXPECT_EQ(settings.findChild<QMenuBar*>(), nullptr);
    activate(&settings);
    press(&settings, Qt::Key_Comma);
    EXPECT_EQ(calls.list, std::vector<std::string>{"showSettings"});
    press(&settings, Qt::Key_Q);
    EXPECT_EQ(quits.count(), 1);
    press(&settings, Qt::Key_H);
    EXPECT_TRUE(settings.isMinimized()) << "Ctrl+H hides the program's windows";
    settings.showNormal();
    activate(&settings);
    press(&settings, Qt::Key_W);
    EXPECT_FALSE(settings.isVisible());

    // A document window reaches the same items through its menu bar; the keys
    // are not doubled up.
    app::UnavailableWindow editor(QStringLiteral("Editor"), QStringLiteral("Not yet."),
                                  app::UnavailableWindow::Role::document);
    ASSERT_NE(editor.findChild<QMenuBar*>(), nullptr);
    activate(&editor);
    press(&editor, Qt::Key_Comma);
    EXPECT_EQ(calls.list, (std::vector<std::string>{"showSettings", "showSettings"}));
    press(&editor, Qt::Key_W);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(quits.count(), 1);
}

} // namespace

#include "MainMenuTest.moc"
