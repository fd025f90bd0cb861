#pragma once

#include "annotation/EditorState.h"
#include "app/SettingsEnums.h"
#include "editor/EditorFile.h"

#include <QString>

#include <optional>

namespace editor {

// What is at the editor's file on disk now.
struct FileOnDisk {
    bool exists = false;
    // The content key of its bytes; only looked up when it decides anything
    // (the document is unchanged since the file was written), and none when
    // the file cannot be read.
    std::optional<QString> key;
};

// The file, and the key of its bytes when wanted.
FileOnDisk probeFile(const QString& path, bool wantKey);

struct SaveDecision {
    enum class Action {
        // The file already shows the document: nothing is written.
        nothing,
        // Write the rendering over the editor's file, in its own format.
        overwrite,
        // Write a new file into the save folder, in the format of the settings.
        newFile,
    };
    Action action = Action::newFile;
    app::ImageFormat format = app::ImageFormat::png;

    friend bool operator==(const SaveDecision&, const SaveDecision&) = default;
};

// How Save treats the document's state given the editor's file. An unchanged
// document is skipped only while the file still holds the very bytes it was
// read or saved with: a file that another program replaced is written again.
// A file is written over only when its extension is PNG or JPEG and it still
// exists; everything else becomes a new file in the save folder.
SaveDecision decideSave(const std::optional<EditorFile>& file, const annotation::EditorState& state,
                        const FileOnDisk& disk, app::ImageFormat newFileFormat);

} // namespace editor
