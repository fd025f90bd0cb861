#pragma once

#include "app/Recording.h"

#include <QObject>
#include <QString>

#include <optional>

namespace videoeditor {

// What the video editor's control bar shows and edits. Each setter tells
// only of a real change. Main thread only.
class VideoEditorModel : public QObject {
    Q_OBJECT
public:
    explicit VideoEditorModel(QObject* parent = nullptr) : QObject(parent) {}

    bool removeAudio() const { return removeAudio_; }
    void setRemoveAudio(bool remove);

    app::Recording::Format format() const { return format_; }
    void setFormat(app::Recording::Format format);

    // False until the audio check has run.
    bool hasAudio() const { return hasAudio_; }
    void setHasAudio(bool hasAudio);

    // The text shown while an export runs; set means the bar is disabled.
    const std::optional<QString>& busyMessage() const { return busyMessage_; }
    void setBusyMessage(const std::optional<QString>& message);

    // The length shown in the bar; empty until the audio check has run.
    const QString& trimmedText() const { return trimmedText_; }
    void setTrimmedText(const QString& text);

    // Whether the recording's length is known, so that trimming can begin.
    bool canTrim() const { return canTrim_; }
    void setCanTrim(bool canTrim);

Q_SIGNALS:
    void removeAudioChanged(bool remove);
    void formatChanged(app::Recording::Format format);
    void hasAudioChanged(bool hasAudio);
    void busyMessageChanged();
    void trimmedTextChanged(const QString& text);
    void canTrimChanged(bool canTrim);

private:
    bool removeAudio_ = false;
    app::Recording::Format format_ = app::Recording::Format::video;
    bool hasAudio_ = false;
    std::optional<QString> busyMessage_;
    QString trimmedText_;
    bool canTrim_ = false;
};

} // namespace videoeditor
