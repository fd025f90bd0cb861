#pragma once

#include <QPlainTextEdit>

namespace editor {

// The field in which a text mark is typed, laid over the mark by the canvas:
// frameless and transparent (the canvas draws the label's frame beneath it),
// no wrapping, no scroll bars. While it has the focus the editing commands
// (undo, redo, cut, copy, paste, select all, delete) are its own, not the
// window's. Escape ends the typing; Return is a line break.
class CanvasTextField : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CanvasTextField(QWidget* parent);

    // Space between the field's edge and its text, in view points.
    void setInsets(double x, double y);
    // The text as typed, line breaks as "\n" and every other character kept.
    QString text() const;

public Q_SLOTS:
    // The menu's Delete: the selected text goes.
    void deleteSelection();

Q_SIGNALS:
    void escapePressed();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace editor
