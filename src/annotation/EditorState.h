#pragma once

#include "annotation/Annotation.h"
#include "annotation/Background.h"
#include "annotation/Json.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace annotation {

// The editable content of a document: the unit of undo, of export and of the
// edit record. Equality is exact, annotation order included.
struct EditorState {
    std::vector<Annotation> annotations;
    std::optional<Rect> crop; // image points; none = the whole image
    BackgroundSettings background;

    friend bool operator==(const EditorState&, const EditorState&) = default;

    // No annotations, no crop, the default background.
    bool isDefault() const { return *this == EditorState{}; }
};

// {"annotations": [...], "crop": [[x, y], [w, h]] (only when present),
//  "background": {...}}
void encodeEditorState(json::Writer& writer, const EditorState& state);
std::optional<EditorState> decodeEditorState(json::Decoder& decoder, const QJsonValue& value);

std::optional<QByteArray> editorStateToJson(const EditorState& state);
std::optional<EditorState> editorStateFromJson(const QByteArray& bytes,
                                               json::DecodeError* error = nullptr);

} // namespace annotation
