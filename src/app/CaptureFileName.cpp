#include "app/CaptureFileName.h"

#include <QLocale>

namespace app {

QString captureFileName(const QDateTime& date) {
    // The C locale stands for en_US_POSIX: Western digits, no locale-specific
    // calendar or separators.
    return QStringLiteral("Vexlin Capture ") +
           QLocale::c().toString(date.toLocalTime(), QStringLiteral("yyyy-MM-dd 'at' HH.mm.ss"));
}

} // namespace app
