// The editor window: its close question, its edited mark, the menu and keys
// that reach it, the places the views fill, the frontmost editor and the
// recent strip's files.
#include "EditorWindowFixture.h"

#include "app/WindowFit.h"

#include "app/MainMenu.h"
#include "delivery/RecentCapturesStrip.h"
#include "delivery/RecentTileModel.h"
#include "delivery/RecentTileRow.h"
#include "editor/canvas/CanvasView.h"
#include "editor/views/ConfirmationBadge.h"
#include "editor/views/EditorEmptyView.h"
#include "support/EventLoop.h"

#include <QAction>
#include <QDir>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

using namespace editortest;

EditorWindowController* openCapture(int width = 400, int height = 300) {
    return EditorWindowController::open(EditorContent::forCapture(captureOf(solid(width, height))));
}

// One change the user could undo.
void change(EditorWindowController* editor) {
    editor->model().document()->addAnnotation(rectangleMark());
}

QAbstractButton* button(QMessageBox* box, const QString& text) {
    for (QAbstractButton* b : box->buttons()) {
        if (b->text() == text) {
            return b;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

TEST_F(EditorWindows, AChangedDocumentAsksBeforeItsWindowCloses) {
    EditorWindowController* editor = openCapture();
    QMainWindow* window = editor->window();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vexlin Capture[*]"));
    EXPECT_EQ(window->minimumSize(), QSize(760, 460));
    EXPECT_FALSE(window->isWindowModified());
    change(editor);
    EXPECT_TRUE(window->isWindowModified());

    EXPECT_FALSE(window->close());
    QMessageBox* question = editor->closeQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(question->isVisible());
    EXPECT_EQ(question->windowModality(), Qt::WindowModal);
    EXPECT_EQ(question->text(), QStringLiteral("Close without saving?"));
    EXPECT_EQ(question->informativeText(),
              QStringLiteral("Your annotations have not been copied or saved."));
    QStringList texts;
    for (QAbstractButton* b : question->buttons()) {
        texts << b->text();
    }
    texts.sort();
    EXPECT_EQ(texts, QStringList({QStringLiteral("&Don’t Save"), QStringLiteral("&Save"),
                                  QStringLiteral("Cancel")}));
    EXPECT_EQ(question->defaultButton(), button(question, QStringLiteral("&Save")));
    EXPECT_EQ(question->escapeButton(), button(question, QStringLiteral("Cancel")));

    // Escape is Cancel: the window stays with its changes.
    QTest::keyClick(question, Qt::Key_Escape);
    flush();
    EXPECT_EQ(editor->closeQuestion(), nullptr);
    ASSERT_EQ(editors().size(), 1u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(calls.folderQuestions, 0);

    // Save with no save folder asks for one; closing that chooser keeps the
    // window open, silently.
    EXPECT_FALSE(window->close());
    button(editor->closeQuestion(), QStringLiteral("&Save"))->click();
    flush();
    EXPECT_EQ(calls.folderQuestions, 1);
    EXPECT_EQ(calls.alerts, 0);
    ASSERT_EQ(editors().size(), 1u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindowModified());

    // With a folder the picture is saved there, and then the window closes.
    chooseSaveFolder();
    EXPECT_FALSE(window->close());
    button(editor->closeQuestion(), QStringLiteral("&Save"))->click();
    flush();
    EXPECT_EQ(savedFiles().size(), 1u);
    EXPECT_TRUE(editors().empty());
    EXPECT_EQ(calls.closed, 1);
}

TEST_F(EditorWindows, DontSaveClosesWithoutWriting) {
    EditorWindowController* editor = openCapture();
    change(editor);
    const QPointer<QMainWindow> window = editor->window();
    EXPECT_FALSE(window->close());
    // Asking twice shows one question.
    EXPECT_FALSE(window->close());
    EXPECT_EQ(window->findChildren<QMessageBox*>().size(), 1);
    button(editor->closeQuestion(), QStringLiteral("&Don’t Save"))->click();
    flush();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(editors().empty());
    EXPECT_EQ(calls.folderQuestions, 0);
    EXPECT_TRUE(savedFiles().isEmpty());
    EXPECT_TRUE(QDir(dir.file(QStringLiteral("Edits"))).isEmpty());
}

TEST_F(EditorWindows, NothingToLoseClosesAtOnce) {
    const struct {
        const char* name;
        std::function<void(EditorWindowController*)> prepare;
    } cases[] = {
        {"unchanged", [](EditorWindowController*) {}},
        {"changed and undone",
         [](EditorWindowController* e) {
             change(e);
             e->model().document()->undo();
         }},
        {"changed and copied",
         [](EditorWindowController* e) {
             change(e);
             e->model().document()->markExported(e->model().document()->state());
         }},
        {"empty editor", [](EditorWindowController*) {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWindowController* editor = std::string(c.name) == "empty editor"
                                             ? EditorWindowController::open(std::nullopt)
                                             : openCapture();
        c.prepare(editor);
        EXPECT_FALSE(editor->window()->isWindowModified());
        EXPECT_TRUE(editor->window()->close());
        EXPECT_EQ(editor->closeQuestion(), nullptr);
        flush();
        EXPECT_TRUE(editors().empty());
    }
}

// The shared menu as the program builds it, with its Open Image… counted.
class EditorMenu : public EditorWindows {
protected:
    EditorMenu() : menu(commands()) {}

    app::MainMenuCommands commands() {
        app::MainMenuCommands commands;
        commands.openImage = [this] { ++openImages; };
        return commands;
    }

    bool enabled(const char* name) {
        menu.validate();
        return menu.item(QString::fromLatin1(name))->isEnabled();
    }
    void trigger(const char* name) { menu.item(QString::fromLatin1(name))->trigger(); }
    static void activate(QWidget* window) {
        QApplication::setActiveWindow(window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }

    int openImages = 0;
    app::MainMenu menu;
};

TEST_F(EditorMenu, TheMenuReachesTheActiveEditorWithItsEnabledRules) {
    EditorWindowController* editor = EditorWindowController::open(std::nullopt);
    QMainWindow* window = editor->window();
    ASSERT_NE(window->findChild<QMenuBar*>(), nullptr);
    activate(window);
    // The empty editor: nothing to save, copy or undo; Open Image… and Close work.
    for (const char* name : {"saveDocument", "saveDocumentAs", "copy", "undo", "redo", "delete"}) {
        EXPECT_FALSE(enabled(name)) << name;
    }
    EXPECT_TRUE(enabled("openImage"));
    EXPECT_TRUE(enabled("performClose"));
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(openImages, 1);

    editor->load(EditorContent::forCapture(captureOf(solid(400, 300))));
    CanvasView* canvas = editor->canvas();
    ASSERT_NE(canvas, nullptr);
    canvas->setFocus();
    EXPECT_TRUE(enabled("saveDocument"));
    EXPECT_TRUE(enabled("saveDocumentAs"));
    EXPECT_TRUE(enabled("copy"));
    EXPECT_FALSE(enabled("undo"));
    EXPECT_FALSE(enabled("delete"));

    chooseSaveFolder();
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(savedFiles().size(), 1u);
    ASSERT_TRUE(editor->model().file());
    EXPECT_EQ(editor->model().confirmation()->text, QStringLiteral("Saved"));
    // Shown over the canvas until the badge lets it go.
    ConfirmationBadge* badge = window->findChild<EditorContentView*>()->confirmationBadge();
    EXPECT_TRUE(badge->isVisible());
    EXPECT_EQ(badge->text(), QStringLiteral("Saved"));
    EXPECT_EQ(badge->confirmationID(), editor->model().confirmation()->id);
    editor->model().setConfirmation(std::nullopt);
    EXPECT_FALSE(badge->confirmationID());
    // Saved already: a second Save writes nothing new.
    trigger("saveDocument");
    EXPECT_EQ(savedFiles().size(), 1u);
    // Copy goes through the canvas to the window's export.
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(calls.copies, 1);

    const annotation::Annotation mark = rectangleMark();
    editor->model().document()->addAnnotation(mark);
    editor->model().document()->select(mark.id);
    EXPECT_TRUE(enabled("delete"));
    EXPECT_TRUE(enabled("undo"));
    trigger("delete");
    EXPECT_TRUE(editor->model().document()->state().annotations.empty());
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor->model().document()->state().annotations.size(), 1u);
    EXPECT_TRUE(enabled("redo"));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(editor->model().document()->state().annotations.empty());

    // With the keyboard on another control of the window, the commands
    // still reach the canvas.
    auto* other = new QToolButton(window->findChild<QWidget*>(QStringLiteral("trailing")));
    other->setFocusPolicy(Qt::StrongFocus);
    other->show();
    other->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), other);
    EXPECT_TRUE(enabled("undo"));
    trigger("undo");
    EXPECT_EQ(editor->model().document()->state().annotations.size(), 1u);
    trigger("copy");
    EXPECT_EQ(calls.copies, 2);
    EXPECT_EQ(editor->model().confirmation()->text, QStringLiteral("Copied"));
    EXPECT_FALSE(enabled("selectAll"));
}

TEST_F(EditorMenu, EnabledStatesFollowTheDocumentWithoutAFocusChange) {
    EditorWindowController* editor = EditorWindowController::open(std::nullopt);
    activate(editor->window());
    menu.validate();
    QAction* save = menu.item(QStringLiteral("saveDocument"));
    QAction* undo = menu.item(QStringLiteral("undo"));
    EXPECT_FALSE(save->isEnabled());
    // A capture arrives in the open window: Ctrl+S must work at once.
    editor->load(EditorContent::forCapture(captureOf(solid(400, 300))));
    flush();
    EXPECT_TRUE(save->isEnabled());
    EXPECT_FALSE(undo->isEnabled());
    change(editor);
    flush();
    EXPECT_TRUE(undo->isEnabled());
}

TEST_F(EditorWindows, TheViewsFollowTheWindowsDocumentAndReachItsExport) {
    EditorWindowController* editor = EditorWindowController::open(std::nullopt);
    QMainWindow* window = editor->window();
    auto* toolbar = window->findChild<QToolBar*>(QStringLiteral("VexlinEditor"));
    ASSERT_NE(toolbar, nullptr);
    EXPECT_FALSE(toolbar->isMovable());
    EXPECT_EQ(toolbar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    auto* tools = window->findChild<ToolStripView*>();
    auto* trailing = window->findChild<ToolbarTrailingView*>();
    auto* content = window->findChild<EditorContentView*>();
    ASSERT_TRUE(tools && trailing && content);
    EXPECT_EQ(tools->parentWidget()->objectName(), QStringLiteral("tools"));
    EXPECT_EQ(trailing->parentWidget()->objectName(), QStringLiteral("trailing"));
    EXPECT_TRUE(toolbar->isAncestorOf(tools));
    EXPECT_TRUE(toolbar->isAncestorOf(trailing));

    // The empty editor: no document anywhere; its Open Image… opens the panel
    // and the choice comes into this window.
    EXPECT_EQ(tools->document(), nullptr);
    EXPECT_EQ(trailing->document(), nullptr);
    EXPECT_TRUE(content->emptyView()->isVisible());
    EXPECT_EQ(content->bottomBar(), nullptr);
    panels.image = writeFile(QStringLiteral("chosen.png"), pngAt(72, solid(300, 200)));
    content->emptyView()->openButton()->click();
    flush();
    QPointer<EditorDocument> first = editor->model().document();
    ASSERT_TRUE(first);
    EXPECT_EQ(tools->document(), first.data());
    EXPECT_EQ(trailing->document(), first.data());
    EXPECT_EQ(content->document(), first.data());
    EXPECT_EQ(content->canvas(), editor->canvas());
    EXPECT_FALSE(content->emptyView()->isVisible());
    ASSERT_NE(content->bottomBar(), nullptr);

    // The bar's buttons reach the window's export, and the badge shows.
    content->bottomBar()->copyButton()->click();
    EXPECT_EQ(calls.copies, 1);
    EXPECT_EQ(content->confirmationBadge()->text(), QStringLiteral("Copied"));
    // The opened file is saved over, with the mark in it.
    const QByteArray before = testsupport::readAll(*panels.image);
    first->addAnnotation(rectangleMark());
    content->bottomBar()->saveButton()->click();
    EXPECT_NE(testsupport::readAll(*panels.image), before);
    ASSERT_TRUE(editor->model().file());
    EXPECT_EQ(editor->model().file()->path, *panels.image);
    EXPECT_EQ(editor->model().file()->savedState, first->state());
    EXPECT_EQ(content->confirmationBadge()->text(), QStringLiteral("Saved"));
    EXPECT_FALSE(editor->hasUnsavedChanges());

    // The background panel comes while asked for, and steps aside for crop.
    first->setShowsBackgroundPanel(true);
    EXPECT_TRUE(content->showsBackgroundPanel());
    first->setTool(annotation::Tool::crop);
    EXPECT_FALSE(content->showsBackgroundPanel());
    first->setTool(annotation::Tool::arrow);
    EXPECT_TRUE(content->showsBackgroundPanel());

    // Another document: new canvas and bar; the old ones go at once, the old
    // document after them.
    const QPointer<QWidget> oldCanvas = content->canvas();
    const QPointer<QWidget> oldBar = content->bottomBar();
    editor->load(EditorContent::forCapture(captureOf(solid(200, 100))));
    EXPECT_TRUE(oldCanvas.isNull());
    EXPECT_TRUE(oldBar.isNull());
    EXPECT_NE(editor->model().document(), first.data());
    EXPECT_EQ(tools->document(), editor->model().document());
    EXPECT_EQ(content->canvas(), editor->canvas());
    flush();
    EXPECT_TRUE(first.isNull());
}

TEST_F(EditorWindows, AWindowTooLargeForItsScreenIsCutToItAndKeptOnIt) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // The empty editor's 860 points do not fit the test platform's screen.
    ASSERT_LT(screen.width(), 860);
    ASSERT_GE(screen.width(), 760);
    EditorWindowController* editor = EditorWindowController::open(std::nullopt);
    const QRect frame = editor->window()->geometry();
    // As wide as the screen leaves room for beside the window manager's frame.
    EXPECT_LE(frame.width(), app::roomOnScreen(editor->window()).width());
    EXPECT_GT(frame.width(), screen.width() - 20);
    EXPECT_LE(frame.height(), screen.height());
    EXPECT_GE(frame.height(), 617);
    EXPECT_GE(frame.left(), screen.left());
    EXPECT_GE(frame.top(), screen.top());
}

TEST_F(EditorWindows, FrontmostFollowsTheStackingOrder) {
    EXPECT_EQ(EditorWindowController::frontmost(), nullptr);
    EditorWindowController* first = openCapture();
    EditorWindowController* second = openCapture();
    // Neither known to the window manager: the one opened first.
    EXPECT_EQ(EditorWindowController::frontmost(), first);
    calls.frontToBack = {second->window(), first->window()};
    EXPECT_EQ(EditorWindowController::frontmost(), second);
    calls.frontToBack = {first->window(), second->window()};
    EXPECT_EQ(EditorWindowController::frontmost(), first);
    calls.frontToBack = {second->window()};
    EXPECT_EQ(EditorWindowController::frontmost(), second);
}

TEST_F(EditorWindows, TheRecentStripOpensImagesHereAndOtherKindsElsewhere) {
    const QString shownPath = writeFile(QStringLiteral("shown.png"), pngAt(72, solid(30, 20)));
    const QString otherPath = writeFile(QStringLiteral("other.png"), pngAt(72, solid(50, 40)));
    EditorWindowController::open(shownPath);
    ASSERT_EQ(editors().size(), 1u);
    EditorWindowController* editor = editors().front();
    const EditorActions& actions = editor->actions();
    const auto recent = [](const QString& path, app::RecentFile::Kind kind) {
        return app::RecentFile{path, QDateTime::currentDateTime(), kind};
    };

    // The file already shown: nothing happens, not even the question.
    change(editor);
    EditorDocument* document = editor->model().document();
    actions.openRecent(recent(shownPath, app::RecentFile::Kind::image));
    EXPECT_EQ(editor->closeQuestion(), nullptr);
    EXPECT_EQ(editor->model().document(), document);

    // Another image of an edited document: asked first; Cancel keeps it.
    actions.openRecent(recent(otherPath, app::RecentFile::Kind::image));
    ASSERT_NE(editor->closeQuestion(), nullptr);
    button(editor->closeQuestion(), QStringLiteral("Cancel"))->click();
    flush();
    EXPECT_EQ(editor->model().document(), document);
    actions.openRecent(recent(otherPath, app::RecentFile::Kind::image));
    button(editor->closeQuestion(), QStringLiteral("&Don’t Save"))->click();
    flush();
    ASSERT_NE(editor->model().document(), nullptr);
    EXPECT_EQ(editor->model().document()->capture().image.size(), QSize(50, 40));
    EXPECT_EQ(editor->model().file()->path, otherPath);
    EXPECT_FALSE(editor->window()->isWindowModified());
    EXPECT_EQ(editors().size(), 1u);

    // A GIF opens in its own program, and where there is none an alert
    // says so; a video goes to the video editor at the window's scale. The
    // document stays.
    const int beeps = calls.beeps;
    actions.openRecent(recent(dir.file(QStringLiteral("loop.gif")), app::RecentFile::Kind::gif));
    EXPECT_EQ(calls.openedWithDefaultApp, QStringList{dir.file(QStringLiteral("loop.gif"))});
    EXPECT_EQ(calls.alerts, 0);
    calls.noDefaultApp = true;
    actions.openRecent(recent(dir.file(QStringLiteral("loop.gif")), app::RecentFile::Kind::gif));
    EXPECT_EQ(calls.alerts, 1);
    actions.openRecent(recent(dir.file(QStringLiteral("clip.mp4")), app::RecentFile::Kind::video));
    ASSERT_EQ(calls.openedVideos.size(), 1u);
    EXPECT_EQ(calls.openedVideos.front().first, dir.file(QStringLiteral("clip.mp4")));
    EXPECT_EQ(calls.openedVideos.front().second, editor->window()->devicePixelRatioF());
    EXPECT_EQ(calls.beeps, beeps);
    EXPECT_EQ(editor->model().file()->path, otherPath);

    // An unreadable image beeps and leaves the document.
    document = editor->model().document();
    actions.openRecent(recent(dir.file(QStringLiteral("gone.png")), app::RecentFile::Kind::image));
    EXPECT_EQ(calls.beeps, beeps + 1);
    EXPECT_EQ(editor->model().document(), document);
}

TEST_F(EditorWindows, TheStripInTheRecentRowRingsTheShownFileAndOpensWhatIsClicked) {
    const QString first = writeFile(QStringLiteral("first.png"), pngAt(72, solid(30, 20)));
    const QString second = writeFile(QStringLiteral("second.png"), pngAt(72, solid(50, 40)));
    const QString gif = dir.file(QStringLiteral("loop.gif"));
    using Kind = app::RecentFile::Kind;
    recent.setFiles({testsupport::recentFile(second, Kind::image),
                     testsupport::recentFile(gif, Kind::gif),
                     testsupport::recentFile(first, Kind::image)});
    // Opened by a path that names the same file another way.
    QDir().mkpath(dir.file(QStringLiteral("sub")));
    EditorWindowController::open(dir.path() + QStringLiteral("/./sub/../first.png"));
    ASSERT_EQ(editors().size(), 1u);
    QMainWindow* window = editors().front()->window();
    window->resize(900, 700);
    auto* content = window->findChild<EditorContentView*>();
    ASSERT_NE(content, nullptr);
    auto* strip = qobject_cast<delivery::RecentCapturesStrip*>(content->recentStrip());
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->parentWidget(), content->recentStripSlot());
    EXPECT_EQ(strip->state(), delivery::RecentCapturesStrip::State::row);
    EXPECT_EQ(strip->model()->currentRow(), 2);

    const auto click = [&](int row) {
        delivery::RecentTileRow* tiles = strip->row();
        QTest::mouseClick(tiles->viewport(), Qt::LeftButton, {},
                          tiles->visualRect(strip->model()->index(row)).center());
        flush();
    };
    click(0);
    ASSERT_TRUE(editors().front()->model().file());
    EXPECT_EQ(editors().front()->model().file()->path, second);
    EXPECT_EQ(strip->model()->currentRow(), 0) << "the ring follows the shown file";
    EXPECT_EQ(content->recentStrip(), strip) << "the strip outlives the document";
    click(1);
    EXPECT_EQ(calls.openedWithDefaultApp, QStringList{gif});
    EXPECT_EQ(strip->model()->currentRow(), 0);

    // The row's place shows while there is something in it.
    EXPECT_TRUE(content->recentStripSlot()->isVisibleTo(window));
    recent.setAccessible(false);
    EXPECT_EQ(strip->state(), delivery::RecentCapturesStrip::State::unreadable);
    EXPECT_TRUE(content->recentStripSlot()->isVisibleTo(window));
}

} // namespace
