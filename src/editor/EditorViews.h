#pragma once

#include "editor/EditorActions.h"

#include <functional>

class QWidget;

namespace annotation {
class EditorDocument;
}

namespace editor {

class EditorWindowModel;

// Where the editor's toolbar and panel views plug into an editor window.
// Each factory makes one widget (the window takes it over); the document
// ones are asked again for every document a window shows, and their widgets
// go when the document goes. A factory left empty leaves its place empty.
struct EditorViewFactories {
    // The toolbar's "tools" group, centred between two stretches: the tool
    // strip. `document` is null in the empty editor.
    std::function<QWidget*(annotation::EditorDocument* document)> tools;
    // The toolbar's "trailing" group at its right end: undo, redo, the
    // background and recent-captures toggles. `document` as above.
    std::function<QWidget*(annotation::EditorDocument* document)> trailing;
    // The bar under the canvas (mode controls, output size, drag handle and
    // the export buttons), below a divider, while a document is open.
    std::function<QWidget*(annotation::EditorDocument& document, const EditorActions& actions)>
        bottomBar;
    // The background panel beside the canvas, behind a divider: shown while
    // the document's showsBackgroundPanel is on and its tool is not crop.
    std::function<QWidget*(annotation::EditorDocument& document)> backgroundPanel;
    // The recent-captures strip between the canvas and the bottom bar, one
    // per window; it shows and hides itself, its divider follows it.
    std::function<QWidget*(EditorWindowModel& model, const EditorActions& actions)> recentStrip;
};

} // namespace editor
