#pragma once

#include "app/RecentFile.h"
#include "editor/EditorActions.h"
#include "editor/EditorContent.h"
#include "editor/EditorWindowModel.h"
#include "editor/canvas/CanvasView.h"
#include "editor/export/EditorExport.h"
#include "editor/views/EditorBottomBar.h"
#include "editor/views/EditorContentView.h"
#include "editor/views/ToolStripView.h"
#include "editor/views/ToolbarTrailingView.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace annotation {
class EditorDocument;
}

namespace editor {

class EditorWindow;

// One annotation-editor window: builds it (toolbar, canvas, the views' places),
// keeps its model and its export, asks before unsaved changes are lost, and
// tells the program when the window opens and closes. The open controllers
// are listed in the order they were opened; a controller lives exactly as
// long as its window is open. Main thread only.
class EditorWindowController : public QObject, public ExportHost {
    Q_OBJECT
public:
    // The window for the content, or the empty editor; not shown yet (open()
    // lists and shows it).
    explicit EditorWindowController(std::optional<EditorContent> content);
    ~EditorWindowController() override;

    // The open editors, oldest first.
    static const std::vector<EditorWindowController*>& openEditors();

    EditorWindowModel& model() { return model_; }
    QMainWindow* window() const override;
    // The canvas of the document shown, if any.
    CanvasView* canvas() const { return canvas_; }
    // What the window's views call.
    const EditorActions& actions() const { return actions_; }
    // Copy, save, save as, pin, share and drag of this window.
    EditorExport& exporter() { return *export_; }

    // ExportHost
    annotation::EditorDocument* document() const override { return model_.document(); }
    const std::optional<EditorFile>& file() const override { return model_.file(); }
    void setFile(const std::optional<EditorFile>& file) override { model_.setFile(file); }
    void finishTextEditing() override;
    void closeAfterExport() override { closeConfirmed(); }

    // Shows the window (restored when minimised) and brings it forward.
    void showAndActivate();

    // Puts the content into this window without asking: a new document (its
    // history empty), its file, a new canvas; the badge stays.
    void load(EditorContent content);
    // Loads an image file into this window; beeps when it cannot be read.
    // The window is not brought forward: it is the one in use.
    void loadFile(const QString& path);
    // A file chosen in the recent strip: an image replaces the document
    // (after the close question when there are unsaved changes; nothing when
    // it is the file already shown), a GIF opens in its default program, a
    // video in the video editor.
    void openRecent(const app::RecentFile& file);

    // Whether closing would lose changes: the document differs from what was
    // last copied or saved and there is something to undo.
    bool hasUnsavedChanges() const;
    // The close question, then the close; for the window's own closing.
    void confirmClose();
    // The close question before the content is replaced; `then` runs when
    // the user allowed it (at once when nothing is unsaved).
    void confirmDiscard(std::function<void()> then);
    // Closes the window without the question (after an export that closes
    // it, or once the user agreed).
    void closeConfirmed();
    // The close question while it is shown.
    QMessageBox* closeQuestion() const { return question_; }

    // Opens a new editor window, empty or with the content, and shows it.
    static EditorWindowController* open(std::optional<EditorContent> content);
    // Shows the content in the first open editor that shows nothing, else in
    // a new window.
    static void openContent(EditorContent content);
    // An image file, with its stored edits, in the first empty editor, else
    // a new window; beeps when the file cannot be opened.
    static void open(const QString& imagePath);
    // The open panel for one image; the choice opens as open(path) does.
    static void chooseImageToAnnotate();
    // The frontmost editor when one is open; else the newest image of the
    // save folder in a new window; else the empty editor. The folder is
    // listed off the main thread, so this finishes later.
    static void openLatest();
    // The open editor whose window is nearest the front, if any.
    static EditorWindowController* frontmost();

    // The content rectangle a new window opens with, in the visible frame
    // of its screen, for a picture of contentSize points (empty: the empty
    // editor), with or without the recent strip below it.
    static QRectF initialFrame(QSizeF contentSize, const QRectF& visibleFrame, bool showsRecent);

private:
    friend class EditorWindow;

    // The content under the toolbar and the toolbar's groups, wired to the
    // export and the model.
    void buildContent();
    // Hands the model's document to the views.
    void showDocument();
    // Where the shown file is, if it has one.
    std::optional<QString> shownPath() const;
    EditorActions makeActions();
    CanvasView* makeCanvas(annotation::EditorDocument& document);
    void setDocument(std::unique_ptr<annotation::EditorDocument> document);
    void watchDocument();
    void updateEdited();
    void validateMenuSoon();
    void askBeforeLosingChanges(std::function<void()> proceed);
    // The window accepted its close.
    void windowWillClose();
    void windowDidBecomeKey();

    EditorWindowModel model_;
    QPointer<CanvasView> canvas_;
    bool closingConfirmed_ = false;
    // The window has closed (or is going without closing).
    bool closed_ = false;
    // Counted among the program's open windows.
    bool counted_ = false;
    EditorActions actions_;
    std::unique_ptr<EditorExport> export_;
    QPointer<EditorWindow> window_;
    QPointer<EditorContentView> content_;
    QPointer<ToolStripView> tools_;
    QPointer<ToolbarTrailingView> trailing_;
    QPointer<QMessageBox> question_;
    bool validatePending_ = false;
};

} // namespace editor
