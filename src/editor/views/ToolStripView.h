#pragma once

#include "annotation/Tool.h"

#include <QPointer>
#include <QWidget>

#include <map>

namespace annotation {
class EditorDocument;
}

namespace editor {

class ToolbarIconButton;

// The toolbar's row of the thirteen tools, grouped by dividers after crop,
// text and blur. The current tool of the document is selected; a click
// chooses the tool. Without a document the row is dimmed and takes no clicks.
class ToolStripView : public QWidget {
    Q_OBJECT
public:
    explicit ToolStripView(QWidget* parent = nullptr);

    // The document whose tool the strip shows and sets (not owned; none for
    // an empty editor). Follows the document until it is replaced or gone.
    void setDocument(annotation::EditorDocument* document);
    annotation::EditorDocument* document() const;

    ToolbarIconButton* button(annotation::Tool tool) const { return buttons_.at(tool); }
    // "Crop (C)": the tool's title and its key.
    static QString toolTip(annotation::Tool tool);

private:
    void refresh();
    void choose(annotation::Tool tool);

    QPointer<annotation::EditorDocument> document_;
    std::map<annotation::Tool, ToolbarIconButton*> buttons_;
};

} // namespace editor
