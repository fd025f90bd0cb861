#include "CanvasFixture.h"

#include "app/MainMenu.h"
#include "editor/canvas/CanvasView.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace canvastest;

namespace {

TEST(CanvasMenu, EditItemsFollowTheCanvasAndThenTheTextField) {
    app::MainMenu menu(app::MainMenuCommands{});
    CustomColors colours{nullptr};
    EditorDocument doc(captureOf(solidImage(400, 300, Qt::white)), EditorState{}, &colours);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* canvas = new CanvasView(doc);
    layout->addWidget(canvas);
    app::MainMenu::installIn(&window);
    int copies = 0;
    canvas->setOnCopyImage([&] { ++copies; });
    window.resize(800, 600);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    canvas->setFocus();
    const auto enabled = [&](const char* name) {
        menu.validate();
        return menu.item(QString::fromLatin1(name))->isEnabled();
    };
    EXPECT_FALSE(enabled("undo"));
    EXPECT_FALSE(enabled("redo"));
    EXPECT_FALSE(enabled("delete"));
    EXPECT_TRUE(enabled("copy"));
    menu.item(QStringLiteral("copy"))->trigger();
    EXPECT_EQ(copies, 1);

    const Annotation a{QUuid::createUuid(),
                       Shape::area(ShapeKind::rectangle, Rect(20, 20, 50, 50)),
                       RGBA::fromBytes(255, 59, 71),
                       5,
                       false,
                       TextStyle::plain};
    doc.addAnnotation(a);
    doc.select(a.id);
    EXPECT_TRUE(enabled("undo"));
    EXPECT_TRUE(enabled("delete"));
    menu.item(QStringLiteral("delete"))->trigger();
    EXPECT_TRUE(doc.state().annotations.empty());
    EXPECT_TRUE(enabled("undo"));
    menu.item(QStringLiteral("undo"))->trigger();
    EXPECT_EQ(doc.state().annotations.size(), 1u);
    EXPECT_TRUE(enabled("redo"));

    // While a text is typed the items act on its field.
    doc.setTool(Tool::text);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
    ASSERT_NE(canvas->textField(), nullptr);
    QTest::keyClicks(canvas->textField(), QStringLiteral("typed"));
    EXPECT_TRUE(enabled("selectAll"));
    EXPECT_TRUE(enabled("delete"));
    menu.item(QStringLiteral("selectAll"))->trigger();
    menu.item(QStringLiteral("delete"))->trigger();
    EXPECT_EQ(canvas->textField()->text(), QString());
    EXPECT_EQ(doc.state().annotations.size(), 2u);
    EXPECT_EQ(copies, 1);
}

} // namespace
