#pragma once

#include "editor/EditorFile.h"
#include "editor/export/ConfirmationBadgeModel.h"

#include <QObject>

#include <memory>
#include <optional>

namespace annotation {
class EditorDocument;
}

namespace editor {

// The observable model of one editor window, read by all its views: the
// document (none in the empty editor), the file behind it and the badge.
// Each property tells its observers only when its value really changes; a
// new document always counts as a change. Main thread only.
class EditorWindowModel : public QObject {
    Q_OBJECT
public:
    explicit EditorWindowModel(QObject* parent = nullptr);
    ~EditorWindowModel() override;

    annotation::EditorDocument* document() const { return document_.get(); }
    // Replaces the document; the old one, with its whole history, is handed
    // back to the caller, who releases it once nothing shows it any more.
    std::unique_ptr<annotation::EditorDocument>
    setDocument(std::unique_ptr<annotation::EditorDocument> document);

    const std::optional<EditorFile>& file() const { return file_; }
    void setFile(const std::optional<EditorFile>& file);

    // The badge over the canvas after a copy or a save, kept (and taken away
    // again) by the window's badge.
    const std::optional<EditorConfirmation>& confirmation() const { return badge_.confirmation(); }
    void setConfirmation(const std::optional<EditorConfirmation>& confirmation);
    ConfirmationBadgeModel& badge() { return badge_; }

Q_SIGNALS:
    void documentChanged();
    void fileChanged();
    void confirmationChanged();

private:
    std::unique_ptr<annotation::EditorDocument> document_;
    std::optional<EditorFile> file_;
    ConfirmationBadgeModel badge_;
};

} // namespace editor
