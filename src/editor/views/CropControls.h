#pragma once

#include "annotation/Geometry.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QShortcut;

namespace annotation {
class EditorDocument;
}

namespace editor {

// The bottom bar's row while the tool is crop: the size of the crop being
// drawn, and Reset, Cancel and Crop. Escape cancels and Return crops, unless
// the canvas has the keyboard: then the canvas answers those keys itself.
class CropControls : public QWidget {
    Q_OBJECT
public:
    // The document is not owned and must outlive the controls.
    explicit CropControls(annotation::EditorDocument& document, QWidget* parent = nullptr);

    // "1280 × 960 px": the draft's size in whole pixels of the image at
    // `pixelsPerPoint` (the status line's unit); none without a draft.
    static std::optional<QString> sizeText(const std::optional<annotation::Rect>& draft,
                                           double pixelsPerPoint = 1);

    // Tells whether the canvas has the keyboard focus; while it does, Return
    // and Escape are left to it. Without one, the canvas is taken not to.
    void setCanvasHasFocus(std::function<bool()> canvasHasFocus);
    // Whether Return and Escape are the buttons' now.
    bool ownsKeys() const;

    QLabel* sizeLabel() const { return sizeLabel_; }
    QPushButton* resetButton() const { return reset_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* cropButton() const { return crop_; }

public Q_SLOTS:
    void reset();
    void cancel();
    void crop();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void updateKeys();

    annotation::EditorDocument& document_;
    std::function<bool()> canvasHasFocus_;
    QLabel* sizeLabel_;
    QPushButton* reset_;
    QPushButton* cancel_;
    QPushButton* crop_;
    std::vector<QShortcut*> shortcuts_;
};

} // namespace editor
