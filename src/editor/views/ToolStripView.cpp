#include "editor/views/ToolStripView.h"

#include "annotation/EditorDocument.h"
#include "editor/views/ToolbarIconButton.h"
#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QHBoxLayout>

namespace editor {

using annotation::EditorDocument;
using annotation::Tool;

ToolStripView::ToolStripView(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(2);
    for (Tool tool : annotation::tools::allCases()) {
        auto* button = new ToolbarIconButton(annotation::iconPath(tool), 14, this);
        button->setToolTip(toolTip(tool));
        button->setAccessibleName(annotation::title(tool));
        connect(button, &QAbstractButton::clicked, this, [this, tool] { choose(tool); });
        buttons_[tool] = button;
        row->addWidget(button, 0, Qt::AlignVCenter);
        if (tool == Tool::crop || tool == Tool::text || tool == Tool::blur) {
            row->addWidget(new LineDivider(Qt::Vertical, 18, 3, this), 0, Qt::AlignVCenter);
        }
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    refresh();
}

QString ToolStripView::toolTip(Tool tool) {
    //: Editor tool tooltip: tool name and its single-key shortcut
    return tr("%1 (%2)").arg(annotation::title(tool), annotation::shortcutKey(tool).toUpper());
}

void ToolStripView::setDocument(EditorDocument* document) {
    platform::assertMainThread();
    if (document == document_) {
        return;
    }
    if (document_) {
        disconnect(document_, nullptr, this, nullptr);
    }
    document_ = document;
    if (document_) {
        connect(document_, &EditorDocument::toolChanged, this, &ToolStripView::refresh);
        connect(document_, &QObject::destroyed, this, &ToolStripView::refresh);
    }
    refresh();
}

void ToolStripView::refresh() {
    const bool open = document_ != nullptr;
    setEnabled(open);
    for (const auto& [tool, button] : buttons_) {
        button->setSelected(open && document_->tool() == tool);
    }
}

void ToolStripView::choose(Tool tool) {
    platform::assertMainThread();
    if (document_) {
        document_->setTool(tool);
    }
}

annotation::EditorDocument* ToolStripView::document() const {
    return document_;
}

} // namespace editor
