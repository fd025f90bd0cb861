#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QPointer>

class QToolBar;

namespace editor {

class EditorWindowController;

// The editor's window. It stands in the menu's responder chain behind the
// canvas: Save, Save As… and the window's Copy Image go to its controller's
// export, and Undo, Redo, Copy and Delete reach the canvas even while
// another control of the window has the keyboard. Closing asks its
// controller first.
class EditorWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit EditorWindow(EditorWindowController& owner);

    EditorWindowController* owner() const { return owner_; }
    // The toolbar's two groups, where the tool strip and the trailing views go.
    QWidget* toolsGroup() const { return tools_; }
    QWidget* trailingGroup() const { return trailing_; }
    QToolBar* toolBar() const { return toolBar_; }

    // Whether a menu command this window answers can run now (the menu asks).
    Q_INVOKABLE bool validateCommand(const QByteArray& slotSignature) const;

public Q_SLOTS:
    void saveDocument();
    void saveDocumentAs();
    void copyImage();
    void undo();
    void redo();
    void copy();
    void deleteSelection();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // The toolbar is fixed: no menu to hide it.
    QMenu* createPopupMenu() override { return nullptr; }

private:
    // Hands a command to the canvas, when the window shows one.
    void toCanvas(const char* slot);

    QPointer<EditorWindowController> owner_;
    QToolBar* toolBar_ = nullptr;
    QWidget* tools_ = nullptr;
    QWidget* trailing_ = nullptr;
};

} // namespace editor
