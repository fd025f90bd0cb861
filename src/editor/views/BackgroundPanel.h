#pragma once

#include "annotation/Background.h"

#include <QAbstractButton>
#include <QScrollArea>

#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QSlider;

namespace annotation {
class EditorDocument;
}

namespace editor {

class SegmentedControl;
class ToggleSwitch;

// One fill of the background grid: a 48 × 34 rounded swatch, ringed in the
// accent colour while it is the chosen fill.
class FillSwatch : public QAbstractButton {
    Q_OBJECT
public:
    FillSwatch(annotation::BackgroundFill fill, QWidget* parent = nullptr);

    const annotation::BackgroundFill& fill() const { return fill_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    annotation::BackgroundFill fill_;
    bool selected_ = false;
};

// The side panel for the picture's background: on or off, its fill, padding,
// corner radius, shadow and aspect ratio. Every edit is an undoable change
// of the document's state; a slider drag is one change from press to
// release. While the background is off, everything but its switch is dimmed
// and idle.
class BackgroundPanel : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int panelWidth = 252;

    // The document is not owned and must outlive the panel.
    explicit BackgroundPanel(annotation::EditorDocument& document, QWidget* parent = nullptr);
    ~BackgroundPanel() override;

    enum class Slider { padding, cornerRadius };
    // A value the slider reported: rounded to a whole number, halves away
    // from zero, and stored.
    void sliderReported(Slider slider, double value);
    // A stored value as its label shows it: truncated toward zero.
    static QString valueText(double value);

    ToggleSwitch* enabledSwitch() const { return switch_; }
    QWidget* editingGroup() const { return group_; }
    const std::vector<FillSwatch*>& fillSwatches() const { return swatches_; }
    QSlider* slider(Slider slider) const;
    QLabel* valueLabel(Slider slider) const;
    QCheckBox* shadowBox() const { return shadow_; }
    SegmentedControl* aspectPicker() const { return aspect_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct SliderRow {
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
    };

    QWidget* makeSliderRow(Slider which, const QString& title, int maximum);
    // Stores one field of the background as one undo step, or into the open
    // change.
    void write(const std::function<void(annotation::BackgroundSettings&)>& edit);
    void endSliderChange();
    void refresh();
    void fitContent();

    annotation::EditorDocument& document_;
    QWidget* content_;
    ToggleSwitch* switch_;
    QWidget* group_;
    std::vector<FillSwatch*> swatches_;
    SliderRow padding_;
    SliderRow cornerRadius_;
    QCheckBox* shadow_;
    SegmentedControl* aspect_;
    // A slider press opened this change; its release closes it.
    bool sliderChangeOpen_ = false;
};

} // namespace editor
