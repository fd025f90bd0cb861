#pragma once

#include "annotation/Geometry.h"
#include "editor/canvas/CanvasGeometry.h"
#include "editor/canvas/Gestures.h"

#include <QString>
#include <QUuid>
#include <Qt>

#include <functional>
#include <memory>
#include <optional>

namespace annotation {
class EditorDocument;
}

namespace editor {

// The pointer shapes the canvas shows.
enum class CanvasCursor { arrow, crosshair, openHand, closedHand, iBeam };

// The menu commands the canvas answers.
enum class CanvasCommand { undo, redo, copy, deleteSelection };

// A mouse event in view points.
struct PointerInput {
    annotation::Point view;
    bool shift = false;
    // 2 for the press of a double click.
    int clickCount = 1;
};

// A key press: Qt's key, the modifiers held and the text the key types in
// the current keyboard layout.
struct KeyInput {
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
};

// What the controller needs of the widget that shows the canvas. The text
// field is the widget's, but when it opens and closes is the controller's.
class CanvasHost {
public:
    virtual ~CanvasHost() = default;
    // The view's size in view points.
    virtual annotation::Size viewSize() const = 0;
    virtual bool hasTextField() const = 0;
    // Opens the field with the text, laid over the edited mark, focused,
    // with all its text selected.
    virtual void openTextField(const QString& text) = 0;
    virtual void closeTextField() = 0;
    // Lays the open field over the mark again (its text or the view changed).
    virtual void layoutTextField() = 0;
    // Gives the keyboard focus to the canvas.
    virtual void focusCanvas() = 0;
};

// Every decision of the canvas, without a widget: what a mouse-down starts,
// how gestures, keys and commands change the document, when the text field
// opens and closes, which cursor shows. It changes only the document (and,
// through the host, the field and the focus); the view repaints when the
// document says it changed.
class CanvasController {
public:
    CanvasController(annotation::EditorDocument& document, CanvasHost& host);
    ~CanvasController();
    CanvasController(const CanvasController&) = delete;
    CanvasController& operator=(const CanvasController&) = delete;

    // The geometry now.
    CanvasGeometry geometry() const;

    // ---- mouse ----
    // Returns the cursor to show at once (the closed hand of a move), if any.
    std::optional<CanvasCursor> mouseDown(const PointerInput& input);
    void mouseDragged(const PointerInput& input);
    // Returns the cursor for where the mouse went up.
    CanvasCursor mouseUp(const PointerInput& input);
    CanvasCursor cursorAt(annotation::Point view) const;
    // The gesture in progress, if any.
    std::optional<Gesture::Kind> gesture() const;

    // ---- keys and commands ----
    // False when the key is not the canvas's (it goes on to the parent).
    bool keyPress(const KeyInput& input);
    void perform(CanvasCommand command);
    bool isEnabled(CanvasCommand command) const;
    // What Copy runs: the editor window copies the flattened image.
    void setOnCopyImage(std::function<void()> copy) { onCopyImage_ = std::move(copy); }

    // ---- the text field ----
    // Opens the field on a text mark (the caller has opened the change the
    // edit joins); ignored for an id that names no text.
    void startTextEditing(const QUuid& id);
    // Ends the edit: an empty text goes away, the change closes (one undo
    // step), the canvas takes the keyboard again. Nothing when no field is open.
    void commitTextEditing();
    // The field's whole text after each edit.
    void textChanged(const QString& text);
    // After a document change: a field whose mark is no longer edited closes,
    // an open one follows its mark.
    void syncTextEditing();

private:
    bool startAtHandle(const CanvasGeometry& g, annotation::Point v);
    bool startOnMark(const CanvasGeometry& g, const PointerInput& input, annotation::Point p);
    void startNewMark(const CanvasGeometry& g, annotation::Point v, annotation::Point p);

    annotation::EditorDocument& document_;
    CanvasHost& host_;
    std::unique_ptr<Gesture> gesture_;
    std::function<void()> onCopyImage_;
};

} // namespace editor
