#pragma once

#include <QPointer>
#include <QWidget>

namespace annotation {
class EditorDocument;
}
namespace app {
class Preferences;
}

namespace editor {

class ToolbarIconButton;

// The toolbar's trailing group: Undo and Redo, then the background panel's
// toggle and the recent captures' toggle. The buttons register no keys: the
// keys their tooltips name belong to the canvas.
class ToolbarTrailingView : public QWidget {
    Q_OBJECT
public:
    // Reads and toggles `editorShowsRecent` of the preferences (not owned).
    explicit ToolbarTrailingView(app::Preferences& preferences, QWidget* parent = nullptr);

    void setDocument(annotation::EditorDocument* document);
    annotation::EditorDocument* document() const;

    ToolbarIconButton* undoButton() const { return undo_; }
    ToolbarIconButton* redoButton() const { return redo_; }
    ToolbarIconButton* backgroundButton() const { return background_; }
    ToolbarIconButton* recentButton() const { return recent_; }

private:
    void refresh();

    app::Preferences& preferences_;
    QPointer<annotation::EditorDocument> document_;
    ToolbarIconButton* undo_;
    ToolbarIconButton* redo_;
    ToolbarIconButton* background_;
    ToolbarIconButton* recent_;
};

} // namespace editor
