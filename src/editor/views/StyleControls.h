#pragma once

#include <QAbstractButton>
#include <QColorDialog>
#include <QPointer>
#include <QWidget>

#include <array>

class QCheckBox;
class QColorDialog;

namespace annotation {
class CustomColors;
class EditorDocument;
} // namespace annotation

namespace editor {

class ColorPopover;
class SegmentedControl;

// The round button that shows the document's colour.
class ColorButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit ColorButton(QWidget* parent = nullptr);
    void setColor(const QColor& colour);
    QColor color() const { return colour_; }
    QSize sizeHint() const override { return {20, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

// The bottom bar's style row while the tool is not crop: the colour (chosen
// in a pop-up palette), the size, the shadow and, for text, the text style.
// Each control sets the document's current style, which also restyles the
// selected mark. The row is dimmed and idle while the tool or the selected
// mark takes no style.
class StyleControls : public QWidget {
    Q_OBJECT
public:
    static constexpr std::array<double, 4> sizeSteps{2, 4, 6, 9};
    static constexpr std::array<const char*, 4> sizeStepLabels{"S", "M", "L", "XL"};

    // Neither is owned; both must outlive the controls.
    StyleControls(annotation::EditorDocument& document, annotation::CustomColors& custom,
                  QWidget* parent = nullptr);
    ~StyleControls() override;

    // The step nearest to `size`; a tie goes to the smaller step.
    static int sizeIndex(double size);
    static bool isStyleApplicable(const annotation::EditorDocument& document);
    static bool showsTextStyle(const annotation::EditorDocument& document);

    ColorButton* colorButton() const { return colorButton_; }
    SegmentedControl* sizePicker() const { return sizePicker_; }
    QCheckBox* shadowBox() const { return shadowBox_; }
    SegmentedControl* textStylePicker() const { return textStylePicker_; }

    // Whether the colour palette is open.
    bool showsColors() const;
    ColorPopover* popover() const;
    QColorDialog* customColorDialog() const { return dialog_; }

public Q_SLOTS:
    // Opens the palette, or closes it when it is open.
    void toggleColors();
    // A colour chooser whose every colour becomes the document's at once.
    void openCustomColorDialog();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void closeDialogChange();

    annotation::EditorDocument& document_;
    annotation::CustomColors& custom_;
    ColorButton* colorButton_;
    SegmentedControl* sizePicker_;
    QCheckBox* shadowBox_;
    SegmentedControl* textStylePicker_;
    QPointer<ColorPopover> popover_;
    QPointer<QColorDialog> dialog_;
    // A drag in the chooser opened this change; its release closes it.
    bool dialogChangeOpen_ = false;
};

} // namespace editor
