#include "editor/canvas/CanvasTextField.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace editor {

CanvasTextField::CanvasTextField(QWidget* parent) : QPlainTextEdit(parent) {
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUndoRedoEnabled(true);
    setTabChangesFocus(false);
    document()->setDocumentMargin(0);
    setBackgroundVisible(false);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
}

void CanvasTextField::setInsets(double x, double y) {
    setViewportMargins(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)), 0, 0);
}

QString CanvasTextField::text() const {
    // The plain-text form would turn no-break spaces into spaces.
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    // Shift+Return breaks the line inside the paragraph.
    raw.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return raw;
}

void CanvasTextField::deleteSelection() {
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    setTextCursor(cursor);
}

bool CanvasTextField::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence::StandardKey own[] = {
            QKeySequence::Undo,  QKeySequence::Redo,      QKeySequence::Cut,   QKeySequence::Copy,
            QKeySequence::Paste, QKeySequence::SelectAll, QKeySequence::Delete};
        for (QKeySequence::StandardKey standard : own) {
            if (key->matches(standard)) {
                event->accept();
                return true;
            }
        }
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Backspace ||
            key->key() == Qt::Key_Delete) {
            event->accept();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

void CanvasTextField::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        Q_EMIT escapePressed();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    // The field is sized to its text: nothing is ever scrolled out of view.
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

} // namespace editor
