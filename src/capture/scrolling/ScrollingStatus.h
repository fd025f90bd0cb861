#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <optional>

namespace capture {

// The state of a scrolling capture as the frames report it.
struct ScrollingMessage {
    enum class Kind { failed, starting, scrollDown, capturing, tooFast, limitReached };

    Kind kind = Kind::starting;
    // The failure's own text, for `failed`.
    QString failure;

    static ScrollingMessage failedWith(const QString& text) { return {Kind::failed, text}; }
    // The text shown for it, in the current language.
    QString text() const;

    friend bool operator==(const ScrollingMessage&, const ScrollingMessage&) = default;
};

// What the HUD of a scrolling capture shows. Main thread only; every setter
// announces a change only when the value really changed.
class ScrollingStatus : public QObject {
    Q_OBJECT
public:
    explicit ScrollingStatus(QObject* parent = nullptr);

    const ScrollingMessage& message() const { return message_; }
    // The newest reduced picture of the stitched image; null before the first.
    const QImage& preview() const { return preview_; }
    // Width of the first frame and height of the stitched image, in pixels.
    QSize pixelSize() const { return pixelSize_; }
    bool isAutoScrolling() const { return isAutoScrolling_; }
    // Advice that replaces the status line.
    const std::optional<QString>& note() const { return note_; }
    // Auto-scroll cannot work on this X server.
    bool isAutoScrollUnavailable() const { return autoScrollUnavailable_; }

    void setMessage(const ScrollingMessage& message);
    void setPreview(const QImage& preview);
    void setPixelSize(QSize size);
    void setAutoScrolling(bool on);
    void setNote(const std::optional<QString>& note);
    void setAutoScrollUnavailable(bool unavailable);

    // The status line: the note, else the auto-scroll line while it runs,
    // else the message's text.
    QString line() const;
    // Whether the status line reads as a warning.
    bool lineIsWarning() const;

Q_SIGNALS:
    void changed();

private:
    ScrollingMessage message_;
    QImage preview_;
    QSize pixelSize_{0, 0};
    bool isAutoScrolling_ = false;
    std::optional<QString> note_;
    bool autoScrollUnavailable_ = false;
};

} // namespace capture
