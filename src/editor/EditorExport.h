#pragma once

#include <functional>
#include <memory>

class QMimeData;
class QWidget;

namespace editor {

class EditorWindowController;

// The ways an editor window gets its picture out: copy, save, save as, pin,
// share and drag. Every editor window has one, made for it by the factory
// below; the window's menu items, its keys, the canvas's Copy, the bottom
// bar and the close question's "Save" all lead here. Main thread.
class EditorExport {
public:
    virtual ~EditorExport() = default;

    virtual void copyImage() = 0;
    // Save over the editor's own file, or to a new file in the save folder.
    virtual void saveImage() = 0;
    virtual void saveImageAs() = 0;
    virtual void pinImage() = 0;
    virtual void share(QWidget* anchor) = 0;
    // What a drag out of the editor carries; none gives an empty drag.
    virtual QMimeData* dragItem() = 0;

    // The save itself, without a badge: true once the document's state is in
    // a file. The close question's "Save" closes only on true; a failure has
    // told the user already.
    virtual bool writeImage() = 0;
};

using EditorExportFactory =
    std::function<std::unique_ptr<EditorExport>(EditorWindowController& controller)>;

// Until the export is built: every action tells the user, in a message on the
// window, that it is not available; nothing claims to have been copied or
// saved, and writeImage() reports failure so that a close question's "Save"
// keeps the window open.
std::unique_ptr<EditorExport> makeUnavailableExport(EditorWindowController& controller);

} // namespace editor
