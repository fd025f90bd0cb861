#include "EditorWindowFixture.h"

#include "annotation/CustomColors.h"
#include "editor/views/ColorPalette.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTest>

namespace {

using namespace editortest;

// Pictures of the editor's views for a person to look at: the crop chrome
// and crop controls, the badge, the background panel with its scroll bar,
// and the palette with a removable colour under the pointer. Runs only when
// asked, on the rig.
TEST_F(EditorWindows, Pictures) {
    const QString folder = qEnvironmentVariable("VEXLIN_EDITOR_PICTURES");
    if (folder.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb")) {
        GTEST_SKIP() << "set VEXLIN_EDITOR_PICTURES and run on the rig";
    }
    const int scale = qRound(QGuiApplication::primaryScreen()->devicePixelRatio());
    QImage page(1400, 900, QImage::Format_RGB32);
    {
        QPainter p(&page);
        QLinearGradient gradient(0, 0, 1400, 900);
        gradient.setColorAt(0, QColor(60, 110, 170));
        gradient.setColorAt(1, QColor(230, 200, 150));
        p.fillRect(page.rect(), gradient);
    }
    EditorWindowController* editor =
        EditorWindowController::open(EditorContent::forCapture(captureOf(page)));
    QMainWindow* window = editor->window();
    window->resize(1100, 640);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const auto save = [&](QWidget* widget, const char* name) {
        QTest::qWait(500);
        QGuiApplication::primaryScreen()
            ->grabWindow(widget->winId())
            .save(
                QStringLiteral("%1/editor-%2@%3x.png").arg(folder, QLatin1String(name)).arg(scale));
    };

    EditorDocument* document = editor->document();
    editor->model().setConfirmation(
        EditorConfirmation{QUuid::createUuid(), QStringLiteral("Copied")});
    document->setBackgroundEnabled(true);
    document->setShowsBackgroundPanel(true);
    save(window, "background-badge");
    // Short enough for the panel to scroll.
    window->resize(1100, 470);
    save(window, "background-scroll");
    window->resize(1100, 640);

    document->setTool(annotation::Tool::crop);
    document->setCropDraft(annotation::Rect(180.4, 120, 640.5, 480.4));
    save(window, "crop");

    annotation::CustomColors custom(nullptr);
    custom.setList(annotation::CustomColorList::normalized(
        {app::RGBA::fromBytes(20, 160, 140), app::RGBA::fromBytes(120, 60, 200)}));
    ColorPalette palette(*document, custom);
    palette.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&palette));
    ColorSwatch* swatch = palette.customSwatches()[0];
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(swatch, &enter);
    save(&palette, "palette");
}

} // namespace
