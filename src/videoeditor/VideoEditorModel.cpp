#include "videoeditor/VideoEditorModel.h"

namespace videoeditor {

void VideoEditorModel::setRemoveAudio(bool remove) {
    if (removeAudio_ != remove) {
        removeAudio_ = remove;
        Q_EMIT removeAudioChanged(remove);
    }
}

void VideoEditorModel::setFormat(app::Recording::Format format) {
    if (format_ != format) {
        format_ = format;
        Q_EMIT formatChanged(format);
    }
}

void VideoEditorModel::setHasAudio(bool hasAudio) {
    if (hasAudio_ != hasAudio) {
        hasAudio_ = hasAudio;
        Q_EMIT hasAudioChanged(hasAudio);
    }
}

void VideoEditorModel::setBusyMessage(const std::optional<QString>& message) {
    if (busyMessage_ != message) {
        busyMessage_ = message;
        Q_EMIT busyMessageChanged();
    }
}

void VideoEditorModel::setTrimmedText(const QString& text) {
    if (trimmedText_ != text) {
        trimmedText_ = text;
        Q_EMIT trimmedTextChanged(text);
    }
}

void VideoEditorModel::setCanTrim(bool canTrim) {
    if (canTrim_ != canTrim) {
        canTrim_ = canTrim;
        Q_EMIT canTrimChanged(canTrim);
    }
}

} // namespace videoeditor
