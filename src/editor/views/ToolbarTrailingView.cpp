#include "editor/views/ToolbarTrailingView.h"

#include "annotation/EditorDocument.h"
#include "app/Preferences.h"
#include "editor/views/ToolbarIconButton.h"
#include "editor/views/ViewKit.h"
#include "platform/MainThread.h"

#include <QHBoxLayout>

namespace editor {

using annotation::EditorDocument;
using annotation::Tool;

ToolbarTrailingView::ToolbarTrailingView(app::Preferences& preferences, QWidget* parent)
    : QWidget(parent), preferences_(preferences) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(2);
    auto make = [&](const QString& symbol, const QString& name) {
        auto* button = new ToolbarIconButton(editorSymbol(symbol), 13.5, this);
        button->setAccessibleName(name);
        row->addWidget(button, 0, Qt::AlignVCenter);
        return button;
    };
    undo_ = make(QStringLiteral("undo"), tr("Undo"));
    undo_->setToolTip(tr("Undo (Ctrl+Z)"));
    redo_ = make(QStringLiteral("redo"), tr("Redo"));
    redo_->setToolTip(tr("Redo (Ctrl+Shift+Z)"));
    row->addWidget(new LineDivider(Qt::Vertical, 18, 3, this), 0, Qt::AlignVCenter);
    background_ = make(QStringLiteral("background"), tr("Background"));
    background_->setToolTip(tr("Background"));
    recent_ = make(QStringLiteral("recent"), tr("Recent Captures"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    connect(undo_, &QAbstractButton::clicked, this, [this] {
        platform::assertMainThread();
        if (document_) {
            document_->undo();
        }
    });
    connect(redo_, &QAbstractButton::clicked, this, [this] {
        platform::assertMainThread();
        if (document_) {
            document_->redo();
        }
    });
    connect(background_, &QAbstractButton::clicked, this, [this] {
        platform::assertMainThread();
        if (document_) {
            document_->setShowsBackgroundPanel(!document_->showsBackgroundPanel());
        }
    });
    connect(recent_, &QAbstractButton::clicked, this, [this] {
        platform::assertMainThread();
        preferences_.setEditorShowsRecent(!preferences_.editorShowsRecent());
    });
    connect(&preferences_, &app::Preferences::editorShowsRecentChanged, this,
            &ToolbarTrailingView::refresh);
    refresh();
}

void ToolbarTrailingView::setDocument(EditorDocument* document) {
    platform::assertMainThread();
    if (document == document_) {
        return;
    }
    if (document_) {
        disconnect(document_, nullptr, this, nullptr);
    }
    document_ = document;
    if (document_) {
        for (auto signal :
             {&EditorDocument::undoStackChanged, &EditorDocument::redoStackChanged,
              &EditorDocument::toolChanged, &EditorDocument::showsBackgroundPanelChanged}) {
            connect(document_, signal, this, &ToolbarTrailingView::refresh);
        }
        connect(document_, &QObject::destroyed, this, &ToolbarTrailingView::refresh);
    }
    refresh();
}

void ToolbarTrailingView::refresh() {
    const EditorDocument* doc = document_;
    undo_->setEnabled(doc && !doc->undoStack().empty());
    redo_->setEnabled(doc && !doc->redoStack().empty());
    background_->setEnabled(doc && doc->tool() != Tool::crop);
    background_->setSelected(doc && doc->showsBackgroundPanel());
    recent_->setToolTip(preferences_.editorShowsRecent() ? tr("Hide Recent Captures")
                                                         : tr("Show Recent Captures"));
}

annotation::EditorDocument* ToolbarTrailingView::document() const {
    return document_;
}

} // namespace editor
