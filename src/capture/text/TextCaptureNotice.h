#pragma once

#include "capture/text/TextRecognizer.h"

#include <QColor>
#include <QString>

#include <optional>

namespace capture {

// The toast a text capture shows, with its texts already translated.
struct TextCaptureNotice {
    QString title;
    std::optional<QString> detail;
    QString symbol;
    QColor tint;

    bool operator==(const TextCaptureNotice&) const = default;

    // While recognition runs for longer than half a second.
    static TextCaptureNotice recognizing();
    // For what the capture found.
    static TextCaptureNotice forOutput(const TextRecognizer::Output& output);

    // The copied string as the toast shows it: on one line, and cut after 90
    // characters with "…".
    static QString preview(const QString& copied);

    void show() const;
};

// Puts what a text capture found on the clipboard as plain text only, in
// place of whatever was there; `nothing` leaves the clipboard alone. Main
// thread.
void copyTextCaptureOutput(const TextRecognizer::Output& output);

} // namespace capture
