#include "editor/EditorContent.h"

#include "annotation/EditStore.h"
#include "annotation/Renderer.h"
#include "app/ContentKey.h"
#include "app/ImageFiles.h"
#include "app/SaveLocation.h"
#include "platform/MainThread.h"

namespace editor {

std::optional<QByteArray> EditorContent::readFile(const QString& path) {
    platform::assertMainThread();
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const auto read = [](const QString& file) -> app::Result<QByteArray> {
        return app::readData(file);
    };
    const app::Result<QByteArray> bytes =
        app::SaveLocation::contains(path)
            ? app::SaveLocation::withFolder([&](const QString&) { return read(path); })
            : read(path);
    if (!bytes) {
        return std::nullopt;
    }
    return bytes.value();
}

EditorContent EditorContent::forCapture(app::Capture capture) {
    platform::assertMainThread();
    EditorContent content{std::move(capture), annotation::EditorState{}, std::nullopt};
    if (content.capture.filePath) {
        if (const auto bytes = readFile(*content.capture.filePath)) {
            content.file = EditorFile{*content.capture.filePath, app::contentKey(*bytes),
                                      annotation::EditorState{}, *bytes};
        }
    }
    return content;
}

std::optional<EditorContent> EditorContent::fromFile(const QString& path,
                                                     const annotation::EditStore& store) {
    platform::assertMainThread();
    const std::optional<QByteArray> bytes = readFile(path);
    if (!bytes) {
        return std::nullopt;
    }
    const QString key = app::contentKey(*bytes);
    if (std::optional<annotation::EditStore::Edit> edit = store.load(key)) {
        // The file's own pixels already hold the marks; the record has the
        // image underneath them.
        edit->capture.filePath = path;
        return EditorContent{std::move(edit->capture), edit->state,
                             EditorFile{path, key, edit->state, std::nullopt}};
    }
    std::optional<app::Capture> capture =
        app::Capture::fromData(*bytes, path, annotation::kMaxRenderPixels);
    if (!capture) {
        return std::nullopt;
    }
    return EditorContent{std::move(*capture), annotation::EditorState{},
                         EditorFile{path, key, annotation::EditorState{}, *bytes}};
}

} // namespace editor
