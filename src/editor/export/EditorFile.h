#pragma once

#include "annotation/EditorState.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace editor {

// The image file behind an editor's document: made when a file is opened,
// replaced after every save.
struct EditorFile {
    QString path;
    // The content key of the file's bytes as they were read or written.
    QString key;
    // The state whose rendering the file's pixels already are.
    annotation::EditorState savedState;
    // The bytes of the unannotated image, when they are at hand (a file that
    // was saved without any edit is its own original).
    std::optional<QByteArray> originalData;

    friend bool operator==(const EditorFile&, const EditorFile&) = default;
};

} // namespace editor
