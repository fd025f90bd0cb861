#include "ViewsFixture.h"

#include "editor/views/CropControls.h"
#include "editor/views/EditorBottomBar.h"
#include "editor/views/StyleControls.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace viewstest;
using editor::EditorBottomBar;

namespace {

class BottomBar : public ViewsTest {};

TEST_F(BottomBar, OutputSizeIsThePixelSizeOfTheExport) {
    struct Case {
        int width, height;
        double scale;
        std::function<void(EditorState&)> edit;
        const char* text;
    };
    const Case cases[] = {
        {1000, 600, 2, [](EditorState&) {}, "1000 × 600 px"},
        {1000, 600, 1,
         [](EditorState& s) {
             s.background.isEnabled = true;
             s.background.padding = 54;
         },
         "1108 × 708 px"},
        {1000, 600, 2,
         [](EditorState& s) {
             s.background.isEnabled = true;
             s.background.padding = 48;
         },
         "1192 × 792 px"},
        {1000, 600, 2, [](EditorState& s) { s.crop = Rect(10, 10, 100.25, 50); }, "201 × 100 px"},
        {1001, 601, 2, [](EditorState&) {}, "1001 × 601 px"},
        {1000, 600, 1,
         [](EditorState& s) {
             s.background.isEnabled = true;
             s.background.aspect = BackgroundAspect::square;
         },
         "1096 × 1096 px"},
    };
    for (const Case& c : cases) {
        EditorState state;
        c.edit(state);
        auto document = makeDocument(c.width, c.height, c.scale, state);
        EXPECT_EQ(EditorBottomBar::outputSizeText(*document), QString::fromUtf8(c.text));
    }
}

TEST_F(BottomBar, TheLabelFollowsTheState) {
    EditorBottomBar bar(*doc, colours);
    EXPECT_EQ(bar.outputSizeLabel()->text(), QStringLiteral("1000 × 600 px"));
    doc->setBackgroundEnabled(true);
    EXPECT_EQ(bar.outputSizeLabel()->text(), QStringLiteral("1108 × 708 px"));
    doc->undo();
    EXPECT_EQ(bar.outputSizeLabel()->text(), QStringLiteral("1000 × 600 px"));
}

TEST_F(BottomBar, TheCropToolSwapsTheModeControlsOnly) {
    EditorBottomBar bar(*doc, colours);
    bar.resize(1000, EditorBottomBar::barHeight);
    bar.show();
    ASSERT_TRUE(bar.styleControls());
    EXPECT_FALSE(bar.cropControls());
    const QPoint save = bar.saveButton()->pos();
    doc->setTool(Tool::crop);
    ASSERT_TRUE(bar.cropControls());
    EXPECT_FALSE(bar.styleControls());
    EXPECT_TRUE(bar.cropControls()->isVisible());
    EXPECT_EQ(bar.saveButton()->pos(), save);
    bar.cropControls()->cancel();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(bar.styleControls());
    EXPECT_FALSE(bar.cropControls());
}

TEST_F(BottomBar, TheSizeLabelGivesWayFirstWhenNarrow) {
    EditorBottomBar bar(*doc, colours);
    bar.resize(1000, EditorBottomBar::barHeight);
    bar.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(bar.outputSizeLabel()->fits());
    const int needed = bar.outputSizeLabel()->sizeHint().width();

    bar.resize(bar.sizeHint().width() - needed / 2, EditorBottomBar::barHeight);
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar.outputSizeLabel()->fits());
    for (QWidget* w :
         {static_cast<QWidget*>(bar.saveButton()), static_cast<QWidget*>(bar.copyButton()),
          static_cast<QWidget*>(bar.shareButton()), static_cast<QWidget*>(bar.pinButton()),
          static_cast<QWidget*>(bar.styleControls())}) {
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->metaObject()->className();
        EXPECT_LE(w->geometry().right(), bar.width());
    }
}

TEST_F(BottomBar, ButtonsAskTheWindow) {
    EditorBottomBar bar(*doc, colours);
    bar.show();
    QSignalSpy pin(&bar, &EditorBottomBar::pinRequested);
    QSignalSpy share(&bar, &EditorBottomBar::shareRequested);
    QSignalSpy copy(&bar, &EditorBottomBar::copyRequested);
    QSignalSpy save(&bar, &EditorBottomBar::saveRequested);
    for (QPushButton* b :
         {bar.pinButton(), bar.shareButton(), bar.copyButton(), bar.saveButton()}) {
        QTest::mouseClick(b, Qt::LeftButton);
    }
    EXPECT_EQ(pin.count(), 1);
    EXPECT_EQ(copy.count(), 1);
    EXPECT_EQ(save.count(), 1);
    ASSERT_EQ(share.count(), 1);
    EXPECT_EQ(share[0][0].value<QWidget*>(), bar.shareButton()) << "the picker opens at Share";
    EXPECT_EQ(bar.copyButton()->toolTip(), QStringLiteral("Copy to Clipboard (Ctrl+C)"));
    EXPECT_EQ(bar.saveButton()->toolTip(),
              QStringLiteral("Save (Ctrl+S). Save As… is Ctrl+Shift+S."));
}

} // namespace
