#pragma once

#include <QString>

namespace recording {

// Why a movie (or a GIF made from one) could not be written, worded for the
// user.
class WriterError {
public:
    enum class Kind { failed, nothingRecorded };

    static WriterError failed(QString message);
    // No picture ever reached the file: there is nothing to keep.
    static WriterError nothingRecorded();

    Kind kind() const { return kind_; }
    QString description() const;

    friend bool operator==(const WriterError&, const WriterError&) = default;

private:
    WriterError(Kind kind, QString message) : kind_(kind), message_(std::move(message)) {}
    Kind kind_;
    QString message_;
};

} // namespace recording
