#include "editor/export/SaveDecision.h"

#include "app/ContentKey.h"
#include "app/ImageEncoding.h"

#include <QFileInfo>

namespace editor {

FileOnDisk probeFile(const QString& path, bool wantKey) {
    FileOnDisk disk;
    disk.exists = QFileInfo::exists(path);
    if (disk.exists && wantKey) {
        disk.key = app::contentKeyOfFile(path);
    }
    return disk;
}

SaveDecision decideSave(const std::optional<EditorFile>& file, const annotation::EditorState& state,
                        const FileOnDisk& disk, app::ImageFormat newFileFormat) {
    const SaveDecision newFile{SaveDecision::Action::newFile, newFileFormat};
    if (!file) {
        return newFile;
    }
    if (file->savedState == state && disk.exists && disk.key && *disk.key == file->key) {
        return {SaveDecision::Action::nothing, newFileFormat};
    }
    const std::optional<app::ImageFormat> own =
        app::imageFormatFromFileExtension(QFileInfo(file->path).suffix());
    if (!own || !disk.exists) {
        return newFile;
    }
    return {SaveDecision::Action::overwrite, *own};
}

} // namespace editor
