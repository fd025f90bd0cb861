#include "app/Recording.h"

#include <array>

namespace app {

namespace {
constexpr std::array kFormats{Recording::Format::video, Recording::Format::gif};
} // namespace

QString rawValue(Recording::Format format) {
    return format == Recording::Format::gif ? QStringLiteral("gif") : QStringLiteral("video");
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
