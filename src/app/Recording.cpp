#include "app/Recording.h"

#include "app/CaptureFileName.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace app {

QString durationText(double seconds) {
    const long long whole = std::isfinite(seconds) && seconds > 0
                                ? static_cast<long long>(std::floor(std::min(seconds, 1e15)))
                                : 0;
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

namespace {
constexpr std::array kFormats{Recording::Format::video, Recording::Format::gif};
} // namespace

QString rawValue(Recording::Format format) {
    return format == Recording::Format::gif ? QStringLiteral("gif") : QStringLiteral("video");
}

QString fileExtension(Recording::Format format) {
    return format == Recording::Format::gif ? QStringLiteral("gif") : QStringLiteral("mp4");
}

QString recordingFileName(const Recording& recording) {
    return captureFileName(recording.date)
        .replace(QStringLiteral("Vexlin Capture "), QStringLiteral("Vexlin Capture Recording "));
}

template <> std::span<const Recording::Format> allCases<Recording::Format>() {
    return kFormats;
}

template <> Recording::Format defaultCase<Recording::Format>() {
    return Recording::Format::video;
}

template <> std::optional<Recording::Format> fromRawValue<Recording::Format>(const QString& raw) {
    for (Recording::Format format : kFormats) {
        if (raw == rawValue(format)) {
            return format;
        }
    }
    return std::nullopt;
}

} // namespace app
