#include "recording/WriterError.h"

#include <QCoreApplication>

namespace recording {

WriterError WriterError::failed(QString message) {
    return WriterError(Kind::failed, std::move(message));
}

WriterError WriterError::nothingRecorded() {
    return WriterError(Kind::nothingRecorded, QString());
}

QString WriterError::description() const {
    if (kind_ == Kind::nothingRecorded) {
        return QCoreApplication::translate("recording::WriterError", "Nothing was recorded.");
    }
    return message_;
}

} // namespace recording
