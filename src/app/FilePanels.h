#pragma once

#include "app/FileError.h"
#include "app/ScopedReplacement.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace app {

// The file dialogs and the error alert through which image output talks to
// the user. The program uses QFileDialog and QMessageBox; tests put a
// scripted stand-in in place with ScopedFilePanels.
class FilePanels {
public:
    virtual ~FilePanels() = default;

    // What a save panel offers to write.
    enum class SaveType { image, movie, gif };

    struct SaveRequest {
        // The proposed file name, with its extension.
        QString fileName;
        // PNG or JPEG images, an MPEG-4 movie, or a GIF.
        SaveType type = SaveType::image;
        // Where the panel opens; unset lets it open where it would by itself.
        std::optional<QString> directory;
    };
    using SaveDone = std::function<void(std::optional<QString> path)>;

    // Asks for a file to save of the request's type. With a window the panel is modal
    // to it and this returns at once; without one it is application-modal and
    // returns when the user answered. done runs once, with the chosen path
    // or nothing when the user cancelled.
    virtual void runSavePanel(const SaveRequest& request, QWidget* window, SaveDone done) = 0;

    // Asks for a folder (the save folder), modally; nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const std::optional<QString>& startDirectory) = 0;

    // Asks for an image file to open in the editor, modally; nothing when
    // cancelled.
    virtual std::optional<QString> chooseImageToAnnotate() = 0;

    // Shows an error in an application-modal alert and returns when the user
    // closed it.
    virtual void showError(QWidget* window, const FileError& error) = 0;

    // The panels in use: the real dialogs unless a test replaced them.
    static FilePanels& current();

private:
    friend class ScopedFilePanels;
    static FilePanels*& replacement();
};

// Puts other panels in place for as long as it lives.
class ScopedFilePanels : public ScopedReplacement<FilePanels*> {
public:
    explicit ScopedFilePanels(FilePanels& panels)
        : ScopedReplacement(FilePanels::replacement(), &panels) {}
};

} // namespace app
