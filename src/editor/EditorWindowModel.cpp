#include "editor/EditorWindowModel.h"

#include "annotation/EditorDocument.h"
#include "platform/MainThread.h"

namespace editor {

EditorWindowModel::EditorWindowModel(QObject* parent) : QObject(parent) {
    connect(&badge_, &ConfirmationBadgeModel::confirmationChanged, this,
            &EditorWindowModel::confirmationChanged);
}

EditorWindowModel::~EditorWindowModel() = default;

std::unique_ptr<annotation::EditorDocument>
EditorWindowModel::setDocument(std::unique_ptr<annotation::EditorDocument> document) {
    platform::assertMainThread();
    if (document == document_) {
        return nullptr;
    }
    std::unique_ptr<annotation::EditorDocument> old = std::exchange(document_, std::move(document));
    Q_EMIT documentChanged();
    return old;
}

void EditorWindowModel::setFile(const std::optional<EditorFile>& file) {
    platform::assertMainThread();
    if (file == file_) {
        return;
    }
    file_ = file;
    Q_EMIT fileChanged();
}

void EditorWindowModel::setConfirmation(const std::optional<EditorConfirmation>& confirmation) {
    badge_.setConfirmation(confirmation);
}

} // namespace editor
