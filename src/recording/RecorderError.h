#pragma once

#include "recording/WriterError.h"

#include "desktop/CaptureError.h"

#include <QString>

#include <variant>

namespace recording {

// Why a recording could not start: the display or window is gone, the movie
// writer failed, or the screen or the sound could not be read.
class RecorderError {
public:
    enum class Kind { capture, writer, screen, sound };

    static RecorderError capture(desktop::CaptureError error) { return {Kind::capture, error, {}}; }
    static RecorderError writer(const WriterError& error) {
        return {Kind::writer, desktop::CaptureError::noDisplays, error.description()};
    }
    static RecorderError screen(QString message) {
        return {Kind::screen, desktop::CaptureError::noDisplays, std::move(message)};
    }
    static RecorderError sound(QString message) {
        return {Kind::sound, desktop::CaptureError::noDisplays, std::move(message)};
    }

    Kind kind() const { return kind_; }
    // Only for Kind::capture.
    desktop::CaptureError captureError() const { return capture_; }
    QString description() const {
        return kind_ == Kind::capture ? desktop::errorDescription(capture_) : message_;
    }

private:
    RecorderError(Kind kind, desktop::CaptureError capture, QString message)
        : kind_(kind), capture_(capture), message_(std::move(message)) {}
    Kind kind_;
    desktop::CaptureError capture_;
    QString message_;
};

} // namespace recording
