#include "capture/scrolling/ScrollingStatus.h"

#include <QCoreApplication>

namespace capture {

QString ScrollingMessage::text() const {
    switch (kind) {
    case Kind::failed:
        return failure;
    case Kind::starting:
        //: Scrolling capture status
        return QCoreApplication::translate("ScrollingCaptureSession", "Starting…");
    case Kind::scrollDown:
        return QCoreApplication::translate("ScrollingCaptureSession", "Scroll down slowly");
    case Kind::capturing:
        return QCoreApplication::translate("ScrollingCaptureSession", "Capturing… keep scrolling");
    case Kind::tooFast:
        return QCoreApplication::translate("ScrollingCaptureSession",
                                           "Lost track. Scroll back up a little.");
    case Kind::limitReached:
        break;
    }
    return QCoreApplication::translate("ScrollingCaptureSession", "Maximum height reached");
}

ScrollingStatus::ScrollingStatus(QObject* parent) : QObject(parent) {}

void ScrollingStatus::setMessage(const ScrollingMessage& message) {
    if (message_ != message) {
        message_ = message;
        Q_EMIT changed();
    }
}

void ScrollingStatus::setPreview(const QImage& preview) {
    // Every preview is a new picture.
    preview_ = preview;
    Q_EMIT changed();
}

void ScrollingStatus::setPixelSize(QSize size) {
    if (pixelSize_ != size) {
        pixelSize_ = size;
        Q_EMIT changed();
    }
}

void ScrollingStatus::setAutoScrolling(bool on) {
    if (isAutoScrolling_ != on) {
        isAutoScrolling_ = on;
        Q_EMIT changed();
    }
}

void ScrollingStatus::setNote(const std::optional<QString>& note) {
    if (note_ != note) {
        note_ = note;
        Q_EMIT changed();
    }
}

void ScrollingStatus::setAutoScrollUnavailable(bool unavailable) {
    if (autoScrollUnavailable_ != unavailable) {
        autoScrollUnavailable_ = unavailable;
        Q_EMIT changed();
    }
}

QString ScrollingStatus::line() const {
    if (note_) {
        return *note_;
    }
    if (isAutoScrolling_) {
        return QCoreApplication::translate("ScrollingCaptureSession",
                                           "Auto-scrolling… move the pointer to take over.");
    }
    return message_.text();
}

bool ScrollingStatus::lineIsWarning() const {
    return note_.has_value() || message_.kind == ScrollingMessage::Kind::tooFast;
}

} // namespace capture
