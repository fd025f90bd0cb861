#include "ViewsFixture.h"

#include "editor/views/BackgroundPanel.h"
#include "editor/views/Controls.h"
#include "editor/views/ViewKit.h"

#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>

using namespace viewstest;
using editor::BackgroundPanel;
using editor::FillSwatch;
using Slider = editor::BackgroundPanel::Slider;

namespace {

class Background : public ViewsTest {
protected:
    void SetUp() override {
        panel.resize(BackgroundPanel::panelWidth, 700);
        panel.show();
    }

    std::vector<int> selectedSwatches() const {
        std::vector<int> indexes;
        for (std::size_t i = 0; i < panel.fillSwatches().size(); ++i) {
            if (panel.fillSwatches()[i]->isSelected()) {
                indexes.push_back(static_cast<int>(i));
            }
        }
        return indexes;
    }

    // Presses the slider's handle, drags it through `xs` and lets go.
    void drag(QSlider* slider, std::initializer_list<int> xs) {
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = Qt::Horizontal;
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->value();
        option.sliderValue = slider->value();
        const QPoint handle =
            slider->style()
                ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
                .center();
        auto send = [slider](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, QPointF(at), QPointF(slider->mapToGlobal(at)),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                              {});
            QApplication::sendEvent(slider, &event);
        };
        send(QEvent::MouseButtonPress, handle, Qt::LeftButton);
        int lastX = handle.x();
        for (int x : xs) {
            send(QEvent::MouseMove, QPoint(x, handle.y()), Qt::LeftButton);
            lastX = x;
        }
        send(QEvent::MouseButtonRelease, QPoint(lastX, handle.y()), Qt::NoButton);
    }

    BackgroundPanel panel{*doc};
};

TEST_F(Background, OffDimsEverythingButTheSwitch) {
    ASSERT_FALSE(doc->state().background.isEnabled);
    EXPECT_FALSE(panel.editingGroup()->isEnabled());
    EXPECT_DOUBLE_EQ(editor::opacityOf(panel.editingGroup()), 0.45);
    EXPECT_TRUE(panel.enabledSwitch()->isEnabled());

    QTest::mouseClick(panel.fillSwatches()[3], Qt::LeftButton);
    EXPECT_EQ(doc->state().background.fill, BackgroundFill::gradient(0)) << "ignored while off";

    QTest::mouseClick(panel.enabledSwitch(), Qt::LeftButton);
    EXPECT_TRUE(doc->state().background.isEnabled);
    EXPECT_TRUE(panel.editingGroup()->isEnabled());
    EXPECT_DOUBLE_EQ(editor::opacityOf(panel.editingGroup()), 1.0);
    EXPECT_TRUE(panel.enabledSwitch()->isChecked());
    EXPECT_EQ(doc->undoStack().size(), 1u);
}

TEST_F(Background, PaddingIsChosenAnewOnEverySwitchOn) {
    QTest::mouseClick(panel.enabledSwitch(), Qt::LeftButton);
    EXPECT_EQ(doc->state().background.padding, 54);
    EXPECT_EQ(panel.valueLabel(Slider::padding)->text(), QStringLiteral("54"));
    panel.sliderReported(Slider::padding, 100);
    EXPECT_EQ(panel.valueLabel(Slider::padding)->text(), QStringLiteral("100"));
    QTest::mouseClick(panel.enabledSwitch(), Qt::LeftButton);
    QTest::mouseClick(panel.enabledSwitch(), Qt::LeftButton);
    EXPECT_EQ(doc->state().background.padding, 54);
    EXPECT_EQ(panel.slider(Slider::padding)->value(), 54);
}

TEST_F(Background, ReportedValuesAreRoundedAndLabelsTruncated) {
    doc->setBackgroundEnabled(true);
    const std::pair<double, double> reports[] = {{47.5, 48}, {47.4, 47}, {0.5, 1}, {239.5, 240}};
    for (const auto& [report, stored] : reports) {
        panel.sliderReported(Slider::padding, report);
        EXPECT_EQ(doc->state().background.padding, stored) << report;
        panel.sliderReported(Slider::cornerRadius, report / 6);
        EXPECT_EQ(doc->state().background.cornerRadius, std::round(report / 6)) << report;
    }
    const std::pair<double, const char*> labels[] = {
        {47.9, "47"}, {0, "0"}, {-0.5, "0"}, {239.99, "239"}, {std::nan(""), "0"}};
    for (const auto& [value, text] : labels) {
        EXPECT_EQ(BackgroundPanel::valueText(value), QString::fromLatin1(text)) << value;
    }
    EditorState stored = doc->state();
    stored.background.padding = 47.9;
    doc->setState(stored);
    EXPECT_EQ(panel.valueLabel(Slider::padding)->text(), QStringLiteral("47"));
}

TEST_F(Background, ASliderDragIsOneUndoStep) {
    doc->setBackgroundEnabled(true);
    EditorState start = doc->state();
    start.background.padding = 48;
    doc->setState(start);
    const std::size_t steps = doc->undoStack().size();
    QSlider* slider = panel.slider(Slider::padding);

    drag(slider, {60, 80, 100, 120, 140});
    EXPECT_GT(doc->state().background.padding, 48);
    EXPECT_FALSE(doc->isChangeOpen());
    EXPECT_EQ(doc->undoStack().size(), steps + 1);
    doc->undo();
    EXPECT_EQ(doc->state().background.padding, 48);

    // Pressed and let go without moving: no step.
    drag(slider, {});
    EXPECT_EQ(doc->undoStack().size(), steps);
    EXPECT_FALSE(doc->isChangeOpen());
}

TEST_F(Background, AKeyedValueIsAStepOfItsOwn) {
    doc->setBackgroundEnabled(true);
    const std::size_t steps = doc->undoStack().size();
    QSlider* slider = panel.slider(Slider::cornerRadius);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(doc->state().background.cornerRadius, 12);
    EXPECT_EQ(doc->undoStack().size(), steps + 2);
}

TEST_F(Background, FillSwatchesSelectExactlyTheFill) {
    doc->setBackgroundEnabled(true);
    ASSERT_EQ(panel.fillSwatches().size(), 16u);
    EXPECT_EQ(selectedSwatches(), std::vector{0});
    const std::size_t steps = doc->undoStack().size();
    QTest::mouseClick(panel.fillSwatches()[0], Qt::LeftButton);
    EXPECT_EQ(doc->undoStack().size(), steps) << "the chosen fill again is no step";

    QTest::mouseClick(panel.fillSwatches()[13], Qt::LeftButton);
    EXPECT_EQ(doc->state().background.fill,
              BackgroundFill::solid(BackgroundSettings::solidColors()[1]));
    EXPECT_EQ(selectedSwatches(), std::vector{13});
    EXPECT_EQ(doc->undoStack().size(), steps + 1);

    EditorState odd = doc->state();
    RGBA nearly = BackgroundSettings::solidColors()[1];
    nearly.blue += 1e-9;
    for (const BackgroundFill& fill : {BackgroundFill::solid(nearly), BackgroundFill::gradient(12),
                                       BackgroundFill::gradient(-1)}) {
        odd.background.fill = fill;
        doc->setState(odd);
        EXPECT_TRUE(selectedSwatches().empty());
    }
}

TEST_F(Background, ShadowAndAspect) {
    doc->setBackgroundEnabled(true);
    const editor::SegmentedControl* aspect = panel.aspectPicker();
    ASSERT_EQ(aspect->count(), 4);
    const char* texts[] = {"Auto", "1:1", "4:3", "16:9"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(aspect->segment(i).text, QString::fromLatin1(texts[i]));
    }
    EXPECT_EQ(aspect->currentIndex(), 0);
    const std::size_t steps = doc->undoStack().size();
    QTest::mouseClick(panel.aspectPicker(), Qt::LeftButton, {}, aspect->segmentRect(0).center());
    EXPECT_EQ(doc->undoStack().size(), steps);
    QTest::mouseClick(panel.aspectPicker(), Qt::LeftButton, {}, aspect->segmentRect(3).center());
    EXPECT_EQ(doc->state().background.aspect, BackgroundAspect::sixteenNine);
    EXPECT_EQ(doc->undoStack().size(), steps + 1);

    panel.shadowBox()->click();
    EXPECT_FALSE(doc->state().background.shadow);
    doc->undo();
    EXPECT_TRUE(panel.shadowBox()->isChecked());
}

TEST_F(Background, TheGridFitsBesideAScrollBar) {
    doc->setBackgroundEnabled(true);
    panel.resize(BackgroundPanel::panelWidth, 240);
    QCoreApplication::processEvents();
    ASSERT_TRUE(panel.verticalScrollBar()->isVisible());
    const FillSwatch* lastInRow = panel.fillSwatches()[3];
    const QRect inViewport(lastInRow->mapTo(panel.viewport(), QPoint(0, 0)), lastInRow->size());
    EXPECT_LE(inViewport.right(), panel.viewport()->width() - 1);
    EXPECT_GE(inViewport.left(), 0);
}

} // namespace
