#pragma once

#include "annotation/EditorState.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace editor {

// The image file behind an editor's document: made when a file is opened,
// replaced after every save.
struct EditorFile {
    // Where the file is.
    QString path;
    // The content key of the file's bytes as they were read or written (64
    // lower-case hexadecimal digits): the name of its edit record.
    QString key;
    // The state whose flattened picture the file's pixels already are.
    annotation::EditorState savedState;
    // The unannotated image's bytes when they are at hand (a file saved
    // without any edit is its own original); none when they live in the
    // edit record instead.
    std::optional<QByteArray> originalData;

    bool operator==(const EditorFile&) const = default;
};

} // namespace editor
