#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <functional>

class QHBoxLayout;
class QMimeData;
class QPushButton;

namespace annotation {
class CustomColors;
class EditorDocument;
} // namespace annotation

namespace editor {

class CropControls;
class DragHandle;
class StyleControls;

// A label that shows its text only while it has room for all of it; with
// less it shows nothing and gives its room away first.
class FittingLabel : public QLabel {
    Q_OBJECT
public:
    explicit FittingLabel(QWidget* parent = nullptr);
    // Whether the whole text is shown now.
    bool fits() const;
    QSize minimumSizeHint() const override { return {0, 0}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The strip under the canvas: the current mode's controls on the left (crop
// or style), then the size an export would have in pixels, the drag handle,
// and Pin, Share, Copy and Save. The bar exports nothing itself: each button
// asks the window through a signal.
class EditorBottomBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int barHeight = 48;

    // Neither is owned; both must outlive the bar.
    EditorBottomBar(annotation::EditorDocument& document, annotation::CustomColors& custom,
                    QWidget* parent = nullptr);

    // "1108 × 708 px": the pixel size of the picture an export makes from the
    // document's state now.
    static QString outputSizeText(annotation::EditorDocument& document);

    // What a drag from the handle carries (see DragHandle).
    void setDragItemProvider(std::function<QMimeData*()> provider);
    // Whether the canvas has the keyboard, for the crop controls' Return and
    // Escape.
    void setCanvasHasFocus(std::function<bool()> canvasHasFocus);

    annotation::EditorDocument& document() const { return document_; }
    // The mode's controls: exactly one of these is present.
    CropControls* cropControls() const;
    StyleControls* styleControls() const;
    FittingLabel* outputSizeLabel() const { return sizeLabel_; }
    DragHandle* dragHandle() const { return handle_; }
    QPushButton* pinButton() const { return pin_; }
    QPushButton* shareButton() const { return share_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* saveButton() const { return save_; }

Q_SIGNALS:
    void pinRequested();
    // The share picker opens below `anchor`.
    void shareRequested(QWidget* anchor);
    void copyRequested();
    void saveRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showModeControls();
    void refreshSize();
    void refreshIcons();

    annotation::EditorDocument& document_;
    annotation::CustomColors& custom_;
    QHBoxLayout* row_;
    QPointer<CropControls> crop_;
    QPointer<StyleControls> style_;
    std::function<bool()> canvasHasFocus_;
    FittingLabel* sizeLabel_;
    DragHandle* handle_;
    QPushButton* pin_;
    QPushButton* share_;
    QPushButton* copy_;
    QPushButton* save_;
};

} // namespace editor
