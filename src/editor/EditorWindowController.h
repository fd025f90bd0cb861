#pragma once

#include "editor/EditorContent.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>
#include <vector>

namespace app {
class UnavailableWindow;
}

namespace editor {

// The model of one editor window.
struct EditorWindowModel {
    // Empty while the window shows no capture.
    std::optional<EditorContent> document;
};

// Stands in for the annotation editor until it is built: each editor is a
// plain window that says the editor is not available yet. The list of open
// editors, the reuse of an empty one and the frontmost lookup behave as the
// program expects of the real editor, so the code that opens editors is
// already the final one.
class EditorWindowController : public QObject {
    Q_OBJECT
public:
    ~EditorWindowController() override;

    // The open editors, oldest first.
    static const std::vector<EditorWindowController*>& openEditors();

    EditorWindowModel& model() { return model_; }
    // Puts the content into this window.
    void load(EditorContent content);
    // Shows the window (restored when minimized) and brings it forward.
    void showAndActivate();

    // Opens a new editor window, empty or with the content, and shows it.
    static void open(std::optional<EditorContent> content);
    // The open editor whose window is in front of the others, if any.
    static EditorWindowController* frontmost();
    // The frontmost editor when one is open, else a new one.
    static void openLatest();
    // Opens an image file in an editor: the frontmost empty one, else a new
    // one. Beeps when the file is no readable image.
    static void open(const QString& imagePath);

private:
    EditorWindowController();

    EditorWindowModel model_;
    QPointer<app::UnavailableWindow> window_;
};

} // namespace editor
