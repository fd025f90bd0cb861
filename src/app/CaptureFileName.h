#pragma once

#include <QDateTime>
#include <QString>

namespace app {

// "Vexlin Capture 2026-12-08 at 14.05.09": the base name (without extension)
// of every file made from a capture, the date in the user's time zone with
// fixed English digits and separators whatever the locale.
QString captureFileName(const QDateTime& date);

} // namespace app
