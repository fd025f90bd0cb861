// The editor windows against a real window manager (run under the X11 rig).
#include "EditorWindowFixture.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

using namespace editortest;

// Activates a window the way a task bar does, so the manager raises it.
void activate(QMainWindow* window) {
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                       QString::number(window->winId())});
}

TEST(EditorOnX11, FrontmostIsTheEditorTheWindowManagerStacksOnTop) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        GTEST_SKIP() << "needs an X server";
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        GTEST_SKIP() << "needs xdotool";
    }
    // The program's own services: the stacking order comes from the server.
    ScopedEditorServices services(EditorServices::defaults());
    EditorWindowController* first =
        EditorWindowController::open(EditorContent::forCapture(captureOf(solid(300, 200))));
    EditorWindowController* second =
        EditorWindowController::open(EditorContent::forCapture(captureOf(solid(300, 200))));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first->window()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(second->window()));

    for (EditorWindowController* front : {first, second, first}) {
        activate(front->window());
        EXPECT_TRUE(QTest::qWaitFor([&] { return EditorWindowController::frontmost() == front; }))
            << (front == first ? "first" : "second") << " in front, frontmost is the "
            << (EditorWindowController::frontmost() == first ? "first" : "second");
    }

    for (EditorWindowController* editor : {first, second}) {
        editor->closeConfirmed();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(EditorWindowController::openEditors().empty());
}

} // namespace
