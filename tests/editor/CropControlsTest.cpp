#include "ViewsFixture.h"

#include "editor/views/CropControls.h"
#include "editor/views/DragHandle.h"

#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace viewstest;
using editor::CropControls;
using editor::DragHandle;

namespace {

TEST(CropSizeText, WholePixelsOfTheDraft) {
    const struct {
        std::optional<Rect> draft;
        double scale;
        std::optional<QString> text;
    } cases[] = {
        {Rect(0, 0, 640, 480), 1, QStringLiteral("640 × 480 px")},
        {Rect(3, 4, 100.5, 50.4), 1, QStringLiteral("101 × 50 px")},
        {Rect(0, 0, 0.4, 0.4), 1, QStringLiteral("0 × 0 px")},
        {Rect(50, 50, -20.5, -10), 1, QStringLiteral("21 × 10 px")}, // dragged up and left
        {Rect(0, 0, 225.5, 182), 2, QStringLiteral("451 × 364 px")},
        {std::nullopt, 2, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CropControls::sizeText(c.draft, c.scale), c.text);
    }
}

class Crop : public ViewsTest {
protected:
    void SetUp() override {
        doc = makeDocument(2880, 1800, 2);
        doc->setTool(Tool::pencil);
        doc->setTool(Tool::crop);
        controls = std::make_unique<CropControls>(*doc);
        controls->show();
    }
    std::unique_ptr<CropControls> controls;
};

TEST_F(Crop, TheLabelFollowsTheDraft) {
    // A scale-2 capture: the pixels the export will have, as the status says.
    EXPECT_EQ(controls->sizeLabel()->text(), QStringLiteral("2880 × 1800 px"));
    doc->setCropDraft(Rect(10, 10, 100.5, 50.4));
    EXPECT_EQ(controls->sizeLabel()->text(), QStringLiteral("201 × 101 px"));
    doc->setCropDraft(std::nullopt);
    EXPECT_FALSE(controls->sizeLabel()->isVisible());
    EXPECT_TRUE(controls->resetButton()->isVisible());
    EXPECT_TRUE(controls->cancelButton()->isVisible());
    EXPECT_TRUE(controls->cropButton()->isVisible());
}

TEST_F(Crop, ResetTakesTheWholeImageAndCropThenStoresNoCrop) {
    doc->setTool(Tool::pencil);
    doc->setState(EditorState{{}, Rect(100, 100, 200, 200), {}});
    doc->setTool(Tool::crop);
    controls->resetButton()->click();
    EXPECT_TRUE(identical(*doc->cropDraft(), Rect(0, 0, 1440, 900)));

    QSignalSpy draftChanged(doc.get(), &EditorDocument::cropDraftChanged);
    controls->resetButton()->click();
    EXPECT_EQ(draftChanged.count(), 0) << "the same draft notifies nobody";

    controls->cropButton()->click();
    EXPECT_FALSE(doc->state().crop);
    EXPECT_EQ(doc->tool(), Tool::pencil);
}

TEST_F(Crop, CancelLeavesStateAndHistoryAndReturnsToThePreviousTool) {
    doc->setTool(Tool::arrow);
    const Annotation a = *doc->newAnnotation({1, 1});
    doc->addAnnotation(a);
    doc->undo();
    doc->setTool(Tool::crop);
    const EditorState state = doc->state();
    const auto undo = doc->undoStack();
    const auto redo = doc->redoStack();
    doc->setCropDraft(Rect(10, 10, 300, 200));
    controls->cancelButton()->click();
    EXPECT_EQ(doc->state(), state);
    EXPECT_EQ(doc->undoStack(), undo);
    EXPECT_EQ(doc->redoStack(), redo);
    EXPECT_EQ(doc->tool(), Tool::arrow);
    EXPECT_FALSE(doc->cropDraft());
}

TEST_F(Crop, ATooNarrowCropChangesNothingButLeavesTheTool) {
    doc->setCropDraft(Rect(10, 10, 3, 200));
    controls->cropButton()->click();
    EXPECT_FALSE(doc->state().crop);
    EXPECT_TRUE(doc->undoStack().empty());
    EXPECT_EQ(doc->tool(), Tool::pencil);

    doc->setTool(Tool::crop);
    doc->setCropDraft(Rect(10.4, 10, 300, 200));
    controls->cropButton()->click();
    ASSERT_TRUE(doc->state().crop);
    EXPECT_EQ(doc->undoStack().size(), 1u);
}

// Return and Escape reach exactly one handler: the canvas while it has the
// keyboard, else the crop buttons.
class CropKeys : public ViewsTest {
protected:
    struct KeyCatcher : QWidget {
        std::vector<int> keys;
        KeyCatcher() { setFocusPolicy(Qt::StrongFocus); }
        void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
    };

    void SetUp() override {
        doc->setTool(Tool::rectangle);
        doc->setTool(Tool::crop);
        auto* layout = new QVBoxLayout(&window);
        canvas = new KeyCatcher;
        other = new KeyCatcher;
        controls = new CropControls(*doc);
        layout->addWidget(canvas);
        layout->addWidget(other);
        layout->addWidget(controls);
        controls->setCanvasHasFocus([this] { return canvas->hasFocus(); });
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QWidget window;
    KeyCatcher* canvas;
    KeyCatcher* other;
    CropControls* controls;
};

TEST_F(CropKeys, TheCanvasKeepsItsKeys) {
    canvas->setFocus();
    QTest::keyClick(canvas, Qt::Key_Escape);
    QTest::keyClick(canvas, Qt::Key_Return);
    EXPECT_EQ(canvas->keys, (std::vector<int>{Qt::Key_Escape, Qt::Key_Return}));
    EXPECT_EQ(doc->tool(), Tool::crop);
    EXPECT_FALSE(controls->ownsKeys());
}

TEST_F(CropKeys, ElsewhereEscapeCancels) {
    other->setFocus();
    EXPECT_TRUE(controls->ownsKeys());
    QTest::keyClick(other, Qt::Key_Escape);
    EXPECT_TRUE(other->keys.empty());
    EXPECT_EQ(doc->tool(), Tool::rectangle);
}

TEST_F(CropKeys, ElsewhereReturnCrops) {
    doc->setCropDraft(Rect(0, 0, 500, 300));
    other->setFocus();
    QTest::keyClick(other, Qt::Key_Return);
    EXPECT_TRUE(other->keys.empty());
    ASSERT_TRUE(doc->state().crop);
    EXPECT_EQ(*doc->state().crop, Rect(0, 0, 500, 300));
    EXPECT_EQ(doc->tool(), Tool::rectangle);
}

// The handle's drag, with the platform's drag replaced by a recorder.
class RecordingHandle : public DragHandle {
public:
    std::vector<QStringList> drags;

protected:
    void runDrag(QMimeData* data) override {
        drags.push_back(data->formats());
        delete data;
    }
};

TEST(DragHandleTest, ADragStartsAnywhereInTheFrameAndCarriesTheProvidersItem) {
    RecordingHandle handle;
    int asked = 0;
    handle.setItemProvider([&asked] {
        ++asked;
        auto* data = new QMimeData;
        data->setText(QStringLiteral("file"));
        return data;
    });
    handle.show();
    const int far = QApplication::startDragDistance() + 2;
    // From the dashed corner, away from the symbol, and from the centre.
    for (QPoint start : {QPoint(1, 1), QPoint(14, 12)}) {
        QTest::mousePress(&handle, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(far, 0)),
                         QPointF(handle.mapToGlobal(start + QPoint(far, 0))), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(&handle, &move);
        QTest::mouseRelease(&handle, Qt::LeftButton, {}, start);
    }
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(handle.drags.size(), 2u);
    EXPECT_EQ(handle.drags[0], handle.drags[1]);
    EXPECT_EQ(handle.drags[0], QStringList{QStringLiteral("text/plain")});
}

TEST(DragHandleTest, WithoutAnItemTheDragCarriesNothing) {
    RecordingHandle handle;
    handle.setItemProvider([] { return nullptr; });
    handle.show();
    QTest::mousePress(&handle, Qt::LeftButton, {}, QPoint(3, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 20),
                     QPointF(handle.mapToGlobal(QPoint(20, 20))), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(&handle, &move);
    ASSERT_EQ(handle.drags.size(), 1u);
    EXPECT_TRUE(handle.drags[0].isEmpty());
}

} // namespace
