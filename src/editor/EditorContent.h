#pragma once

#include "annotation/EditorState.h"
#include "app/Capture.h"
#include "editor/EditorFile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace annotation {
class EditStore;
}

namespace editor {

// What an editor window is opened with: the capture, the state its document
// starts from and, when the image has a file, that file.
struct EditorContent {
    app::Capture capture;
    annotation::EditorState state;
    std::optional<EditorFile> file;

    // A capture just taken. When it was saved to the save folder before the
    // editor opened, its file (with its bytes as the original) comes along;
    // a file that cannot be read is left out, as if the capture had none.
    static EditorContent forCapture(app::Capture capture);

    // An image file with the edits stored for its bytes, if any: then the
    // unannotated original with its marks, else the file's own picture at
    // the scale its resolution gives. None when the file cannot be read, is
    // no image, or is larger than the editor can draw.
    static std::optional<EditorContent> fromFile(const QString& path,
                                                 const annotation::EditStore& store);

    // A file's bytes: inside the save folder's access when it lies there,
    // directly otherwise; none when they cannot be read.
    static std::optional<QByteArray> readFile(const QString& path);
};

} // namespace editor
