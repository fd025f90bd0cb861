#include "annotation/EditorState.h"

#include "annotation/AnnotationJson.h"

namespace annotation {

using json::Decoder;
using json::PathScope;
using json::Writer;

void encodeEditorState(Writer& w, const EditorState& state) {
    w.beginObject();
    w.key("annotations");
    w.beginArray();
    for (const Annotation& a : state.annotations) {
        encodeAnnotation(w, a);
    }
    w.endArray();
    if (state.crop) {
        w.key("crop");
        w.rect(*state.crop);
    }
    w.key("background");
    encodeBackground(w, state.background);
    w.endObject();
}

std::optional<EditorState> decodeEditorState(Decoder& d, const QJsonValue& value) {
    const std::optional<QJsonObject> object = d.object(value);
    if (!object) {
        return std::nullopt;
    }
    EditorState state;
    {
        const std::optional<QJsonValue> member = d.member(*object, QStringLiteral("annotations"));
        if (!member) {
            return std::nullopt;
        }
        PathScope scope(d, QStringLiteral("annotations"));
        const std::optional<QJsonArray> array = d.array(*member);
        if (!array) {
            return std::nullopt;
        }
        state.annotations.reserve(static_cast<std::size_t>(array->size()));
        for (qsizetype i = 0; i < array->size(); ++i) {
            PathScope index(d, json::indexComponent(i));
            std::optional<Annotation> annotation = decodeAnnotation(d, array->at(i));
            if (!annotation) {
                return std::nullopt;
            }
            state.annotations.push_back(std::move(*annotation));
        }
    }
    if (object->contains(QStringLiteral("crop")) &&
        !object->value(QStringLiteral("crop")).isNull()) {
        PathScope scope(d, QStringLiteral("crop"));
        const std::optional<Rect> crop = d.rect(object->value(QStringLiteral("crop")));
        if (!crop) {
            return std::nullopt;
        }
        state.crop = *crop;
    }
    const std::optional<QJsonValue> member = d.member(*object, QStringLiteral("background"));
    if (!member) {
        return std::nullopt;
    }
    PathScope scope(d, QStringLiteral("background"));
    const std::optional<BackgroundSettings> background = decodeBackground(d, *member);
    if (!background) {
        return std::nullopt;
    }
    state.background = *background;
    return state;
}

std::optional<QByteArray> editorStateToJson(const EditorState& state) {
    Writer writer;
    encodeEditorState(writer, state);
    return writer.result();
}

std::optional<EditorState> editorStateFromJson(const QByteArray& bytes, json::DecodeError* error) {
    Decoder decoder;
    std::optional<EditorState> result;
    if (const std::optional<QJsonValue> value = json::parse(bytes, decoder)) {
        result = decodeEditorState(decoder, *value);
    }
    if (!result && error && decoder.error()) {
        *error = *decoder.error();
    }
    return result;
}

} // namespace annotation
