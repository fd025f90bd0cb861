#include "editor/EditorWindow.h"

#include "editor/EditorWindowController.h"
#include "editor/canvas/CanvasView.h"
#include "platform/MainThread.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMetaMethod>
#include <QToolBar>

namespace editor {

namespace {

QWidget* stretch(QWidget* parent) {
    auto* space = new QWidget(parent);
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return space;
}

// A place in the toolbar that the views fill.
QWidget* group(const char* name, QWidget* parent) {
    auto* place = new QWidget(parent);
    place->setObjectName(QString::fromLatin1(name));
    auto* row = new QHBoxLayout(place);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    return place;
}

} // namespace

EditorWindow::EditorWindow(EditorWindowController& owner) : owner_(&owner) {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("VexlinEditor"));
    //: Name of the editor window's toolbar
    toolBar_->setWindowTitle(tr("Editor"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    // The tools in the middle, the trailing group at the right end.
    toolBar_->addWidget(stretch(toolBar_));
    tools_ = group("tools", toolBar_);
    toolBar_->addWidget(tools_);
    toolBar_->addWidget(stretch(toolBar_));
    trailing_ = group("trailing", toolBar_);
    toolBar_->addWidget(trailing_);
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

bool EditorWindow::validateCommand(const QByteArray& slot) const {
    if (!owner_) {
        return false;
    }
    if (slot == "saveDocument()" || slot == "saveDocumentAs()" || slot == "copyImage()") {
        return owner_->model().document() != nullptr;
    }
    CanvasView* canvas = owner_->canvas();
    return canvas != nullptr && canvas->validateCommand(slot);
}

void EditorWindow::saveDocument() {
    platform::assertMainThread();
    if (owner_ && owner_->model().document()) {
        owner_->exporter().save();
    }
}

void EditorWindow::saveDocumentAs() {
    platform::assertMainThread();
    if (owner_ && owner_->model().document()) {
        owner_->exporter().saveAs();
    }
}

void EditorWindow::copyImage() {
    platform::assertMainThread();
    if (owner_ && owner_->model().document()) {
        owner_->exporter().copy();
    }
}

void EditorWindow::toCanvas(const char* slot) {
    CanvasView* canvas = owner_ ? owner_->canvas() : nullptr;
    if (canvas == nullptr || !canvas->validateCommand(slot)) {
        return;
    }
    const QMetaObject* meta = canvas->metaObject();
    meta->method(meta->indexOfMethod(slot)).invoke(canvas, Qt::DirectConnection);
}

void EditorWindow::undo() {
    toCanvas("undo()");
}

void EditorWindow::redo() {
    toCanvas("redo()");
}

void EditorWindow::copy() {
    toCanvas("copy()");
}

void EditorWindow::deleteSelection() {
    toCanvas("deleteSelection()");
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    platform::assertMainThread();
    if (owner_ && owner_->hasUnsavedChanges()) {
        // The question decides; the window stays until it is answered.
        event->ignore();
        owner_->confirmClose();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && owner_) {
        owner_->windowWillClose();
    }
}

void EditorWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && owner_) {
        owner_->windowDidBecomeKey();
    }
}

} // namespace editor
