#pragma once

#include "annotation/EditorState.h"
#include "app/Capture.h"
#include "editor/EditorFile.h"
#include "editor/export/ConfirmationBadgeModel.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMimeData;
class QWidget;

namespace annotation {
class EditorDocument;
class EditStore;
} // namespace annotation

namespace editor {

// What the export needs of its editor window.
class ExportHost {
public:
    virtual ~ExportHost() = default;

    // The document shown; none in an empty editor.
    virtual annotation::EditorDocument* document() const = 0;
    // The image file behind the document, and its replacement after a save.
    virtual const std::optional<EditorFile>& file() const = 0;
    virtual void setFile(const std::optional<EditorFile>& file) = 0;
    // The window that alerts and the save panel belong to; may be none.
    virtual QWidget* window() const = 0;
    // Gives the keyboard back to the canvas. A text field being edited loses
    // the focus but stays open; its text is in the document already.
    virtual void finishTextEditing() = 0;
    // Closes the window after a copy or save when the settings ask for it,
    // without asking about unsaved changes.
    virtual void closeAfterExport() = 0;
};

// Where the export hands its results to the rest of the program. The
// composition root fills in pin and share at start-up (they belong to
// subsystems above the editor); tests put their own in place.
struct ExportServices {
    std::function<void(const QImage& image, double scale)> copyImage;
    std::function<void(const app::Capture& capture)> pin;
    std::function<void(const QString& file, QWidget* anchor)> share;
    // The recent-captures listing should look at the save folder again.
    std::function<void()> refreshRecent;
    annotation::EditStore* editStore = nullptr;
    std::function<QDateTime()> now;

    // The program's: the clipboard, the shared edit store and listing, and
    // whatever pin and share the start-up set (none: the action does nothing).
    static ExportServices& shared();
};

// An editor window's ways of getting the annotated image out: copy, save,
// save as, pin, share and drag. Each renders the current document; copy and
// the saves mark it exported and confirm with a badge, and the saves keep the
// window's EditorFile and the file's edit record up to date. A failure other
// than the user's cancellation is shown in an alert (app::FilePanels) on the
// window and changes nothing. Main thread only.
class EditorExport : public QObject {
    Q_OBJECT
public:
    EditorExport(ExportHost& host, ConfirmationBadgeModel& badge,
                 ExportServices services = ExportServices::shared(), QObject* parent = nullptr);
    ~EditorExport() override;

    // The image on the clipboard; badge "Copied".
    void copy();
    // writeImage(); on success badge "Saved".
    void save();
    // The save itself, also used by the close question's Save button: writes
    // over the editor's file, or a new file into the save folder, or nothing
    // when the file already shows the document. True when the document is
    // saved; false when there is nothing to save or it failed (any alert
    // has been shown).
    bool writeImage();
    // Asks for a file in a save panel and writes it there; the editor's file
    // becomes that one. Returns at once when the panel is a sheet.
    void saveAs();
    // Pins the rendered image to the screen.
    void pin();
    // Writes a drag file and offers it to the sharing picker below anchor.
    void share(QWidget* anchor);
    // What a drag out of the editor carries: a new drag file as text/uri-list
    // and its bytes as image/png. Empty without a document or when the file
    // cannot be written.
    std::unique_ptr<QMimeData> dragData();

    // The document's state rendered, after text editing gave the keyboard
    // back; none without a document or when rendering fails.
    std::optional<QImage> renderedImage();

    // Bookkeeping after a file was written with the bytes for the document's
    // state: the edit record (when annotations are kept editable) follows
    // the file, from the previous file's record when replacing, and the
    // window's EditorFile becomes the written file.
    void recordSavedFile(const QString& path, const QByteArray& data,
                         const annotation::EditorDocument& document,
                         const annotation::EditorState& state, bool replacing);

    static QString copiedText();
    static QString savedText();

private:
    struct Rendered {
        annotation::EditorDocument* document;
        annotation::EditorState state;
        QImage image;
    };
    std::optional<Rendered> render();
    void didSave(const QString& path, const QPointer<annotation::EditorDocument>& document,
                 const annotation::EditorState& state);
    void closeIfAsked();

    ExportHost& host_;
    ConfirmationBadgeModel& badge_;
    ExportServices services_;
};

} // namespace editor
