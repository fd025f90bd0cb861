#pragma once

#include "annotation/EditorState.h"
#include "editor/canvas/CanvasController.h"
#include "editor/canvas/CanvasGeometry.h"
#include "editor/canvas/CanvasShadow.h"
#include "editor/canvas/CanvasTextField.h"

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

namespace annotation {
class EditorDocument;
class ImageSources;
} // namespace annotation

namespace editor {

class DisplaySources;

// The editor's drawing surface: shows one document framed as it will be
// exported (the whole image while the crop tool is active), fitted into the
// widget, with the chrome of the selection or the crop on top, and hands
// mouse and keys to its controller. It repaints only when the document says
// something changed (all changes until the event loop runs again make one
// repaint) and when its size changes.
class CanvasView : public QWidget, private CanvasHost {
    Q_OBJECT
public:
    explicit CanvasView(annotation::EditorDocument& document, QWidget* parent = nullptr);
    ~CanvasView() override;

    annotation::EditorDocument& document() { return document_; }
    CanvasController& controller() { return controller_; }
    // The geometry for the current size and document.
    CanvasGeometry geometry() const;
    // What Copy runs; the editor window sets it.
    void setOnCopyImage(std::function<void()> copy);
    // The open text field, if any.
    CanvasTextField* textField() const { return field_; }

    // Whether a menu command this view answers is enabled (the menu asks).
    Q_INVOKABLE bool validateCommand(const QByteArray& slotSignature) const;

    // The backdrop around the canvas for a window colour.
    static QColor backdropColor(const QColor& windowColor);

public Q_SLOTS:
    void undo();
    void redo();
    void copy();
    void deleteSelection();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // CanvasHost
    annotation::Size viewSize() const override;
    bool hasTextField() const override { return field_ != nullptr; }
    void openTextField(const QString& text) override;
    void closeTextField() override;
    void layoutTextField() override;
    void focusCanvas() override;

    void scheduleRefresh();
    void refreshFromDocument();
    void press(QMouseEvent* event, int clickCount);
    void showCursor(CanvasCursor cursor);
    // The framed document with its shadow, through the renderer.
    void paintDocument(QPainter& painter, const CanvasGeometry& g);
    void paintTextFieldFrame(QPainter& painter, const CanvasGeometry& g);

    annotation::EditorDocument& document_;
    CanvasController controller_;
    QPointer<CanvasTextField> field_;
    bool refreshPending_ = false;

    // The document drawn at the view's scale, kept until what it shows
    // changes: a repaint for the chrome, the cursor or the text field (and
    // every keystroke in it) draws it again without the renderer.
    struct Layer {
        QImage image;
        QRect box;                     // device pixels
        annotation::EditorState state; // without the mark being typed
        std::optional<QUuid> leaveOut;
        double scale = 0;
        annotation::Point origin;
        bool editingCrop = false;
        double dpr = 0;
        std::optional<DropShadow> shadow; // of a layer that is not a plain rectangle
        bool valid = false;
    } layer_;
    std::unique_ptr<DisplaySources> display_;
};

} // namespace editor
