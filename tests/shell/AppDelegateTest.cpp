#include "shell/AppDelegate.h"
#include "annotation/EditorDocument.h"
#include "app/Capture.h"
#include "app/FilePanels.h"
#include "app/MainMenu.h"
#include "editor/EditorWindowController.h"
#include "settings/SettingsWindowController.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

using editor::EditorWindowController;

app::Capture captureOf(int side) {
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
    capture.image.fill(Qt::red);
    capture.date = QDateTime::currentDateTime();
    return capture;
}

void closeAllWindows() {
    // What a test left queued (a window's showing or activation) runs first,
    // so that it cannot bring a window back in the next test.
    QCoreApplication::processEvents();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        widget->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class AppDelegateTest : public testing::Test {
protected:
    void TearDown() override { closeAllWindows(); }
};

TEST_F(AppDelegateTest, EditFillsTheFirstEmptyEditorElseOpensANewOne) {
    EditorWindowController::open(std::nullopt); // an empty editor
    ASSERT_EQ(EditorWindowController::openEditors().size(), 1u);
    EditorWindowController* empty = EditorWindowController::openEditors().front();

    shell::AppDelegate::openInEditor(captureOf(10));
    ASSERT_EQ(EditorWindowController::openEditors().size(), 1u);
    ASSERT_NE(empty->model().document(), nullptr);
    EXPECT_EQ(empty->model().document()->capture().image.width(), 10);

    // Every editor shows something now: the next capture gets its own.
    shell::AppDelegate::openInEditor(captureOf(20));
    ASSERT_EQ(EditorWindowController::openEditors().size(), 2u);
    EXPECT_EQ(
        EditorWindowController::openEditors().back()->model().document()->capture().image.width(),
        20);
    EXPECT_EQ(empty->model().document()->capture().image.width(), 10);
}

TEST_F(AppDelegateTest, ClosingAnEditorTakesItOffTheList) {
    shell::AppDelegate::openInEditor(captureOf(10));
    ASSERT_EQ(EditorWindowController::openEditors().size(), 1u);
    closeAllWindows();
    EXPECT_TRUE(EditorWindowController::openEditors().empty());
    EXPECT_EQ(EditorWindowController::frontmost(), nullptr);
}

TEST_F(AppDelegateTest, OpeningAFileThatIsNoImageOpensNothing) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("notes.png"));
    testsupport::writeAll(path, "not an image");
    EditorWindowController::open(path);
    EditorWindowController::open(dir.file(QStringLiteral("missing.png")));
    EXPECT_TRUE(EditorWindowController::openEditors().empty());
}

// An open panel whose user picks the given file (or cancels).
class PickingPanels : public app::FilePanels {
public:
    explicit PickingPanels(std::optional<QString> pick) : pick_(std::move(pick)) {}
    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override { done(std::nullopt); }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override { return {}; }
    std::optional<QString> chooseImageToAnnotate() override { return pick_; }
    void showError(QWidget*, const app::FileError&) override {}

private:
    std::optional<QString> pick_;
};

TEST_F(AppDelegateTest, OpenImageOpensTheChosenFileInTheEditor) {
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("shot.png"));
    ASSERT_TRUE(captureOf(12).image.save(path));
    shell::AppDelegate delegate;
    {
        PickingPanels cancelled(std::nullopt);
        app::ScopedFilePanels scope(cancelled);
        delegate.openImage();
        EXPECT_TRUE(EditorWindowController::openEditors().empty());
    }
    PickingPanels picking(path);
    app::ScopedFilePanels scope(picking);
    delegate.openImage();
    ASSERT_EQ(EditorWindowController::openEditors().size(), 1u);
    const auto* document = EditorWindowController::openEditors().front()->model().document();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->capture().filePath, std::optional<QString>(path));
    EXPECT_EQ(document->capture().image.width(), 12);
}

TEST_F(AppDelegateTest, ReopenShowsSettingsOnlyWithoutAVisibleWindow) {
    shell::AppDelegate delegate;
    delegate.applicationShouldHandleReopen(true);
    EXPECT_FALSE(settings::SettingsWindowController::isVisible());
    delegate.applicationShouldHandleReopen(false);
    EXPECT_TRUE(settings::SettingsWindowController::isVisible());
    EXPECT_TRUE(shell::AppDelegate::hasVisibleWindows());
}

// A second start after "Hide Vexlin Capture", while the user works in another
// program: the hidden windows come back, one of them active; the settings open
// only when no window is open at all.
TEST_F(AppDelegateTest, ReopenBringsBackHiddenWindowsElseOpensTheSettings) {
    struct Case {
        const char* name;
        int windows;
        bool hide;
        bool settingsOpen;
    };
    const Case cases[] = {
        {"no window", 0, false, true},
        {"a window shown", 1, false, false},
        {"a hidden window", 1, true, false},
        {"two hidden windows", 2, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<QWidget*> windows;
        for (int i = 0; i < c.windows; ++i) {
            auto* window = new QWidget;
            window->setAttribute(Qt::WA_DeleteOnClose);
            // Hide takes the program's titled windows, as the Window menu lists them.
            window->setWindowTitle(QStringLiteral("Window %1").arg(i + 1));
            window->show();
            windows.append(window);
        }
        {
            app::MainMenu menu({});
            if (c.hide) {
                menu.item(QStringLiteral("hide"))->trigger();
            }
        }
        for (QWidget* window : windows) {
            ASSERT_EQ(window->isMinimized(), c.hide);
        }
        // The keyboard is in another program's window, not one of our widgets.
        QWindow elsewhere;
        elsewhere.show();
        elsewhere.requestActivate();
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::activeWindow(), nullptr);

        shell::AppDelegate delegate;
        delegate.applicationShouldHandleReopen(shell::AppDelegate::hasVisibleWindows());
        QCoreApplication::processEvents();

        for (QWidget* window : windows) {
            EXPECT_TRUE(window->isVisible());
            EXPECT_FALSE(window->isMinimized());
        }
        if (c.hide) {
            EXPECT_TRUE(windows.contains(QApplication::activeWindow()));
        }
        EXPECT_EQ(settings::SettingsWindowController::isVisible(), c.settingsOpen);
        closeAllWindows();
    }
}

TEST_F(AppDelegateTest, StatusMenuOffersTheSelfTimerDelaysInOrder) {
    shell::AppDelegate delegate;
    const app::StatusMenuState state = delegate.statusMenuState();
    ASSERT_EQ(state.selfTimerChoices.size(), 4u);
    const std::vector<std::pair<int, QString>> expected{{0, QStringLiteral("Off")},
                                                        {3, QStringLiteral("3 seconds")},
                                                        {5, QStringLiteral("5 seconds")},
                                                        {10, QStringLiteral("10 seconds")}};
    EXPECT_EQ(state.selfTimerChoices, expected);
    EXPECT_FALSE(state.availableUpdateVersion.has_value());
}

} // namespace
