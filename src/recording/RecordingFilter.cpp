#include "recording/RecordingFilter.h"

namespace recording {

QSet<QString> RecordingFilter::excludedAppIds() const {
    QSet<QString> ids;
    for (const QString& id : hiddenApps) {
        if (!id.isEmpty()) {
            ids.insert(id);
        }
    }
    if (hideNotifications) {
        ids.insert(platform::notificationAppId());
    }
    return ids;
}

platform::WindowsLeftOut RecordingFilter::leftOut(std::int32_t ownPid,
                                                  const QSet<std::uint32_t>& ownCapturable) const {
    return {excludedAppIds(), ownPid, ownCapturable | recordedWindows};
}

platform::WindowsShown RecordingFilter::shown() const {
    return {window.value_or(0), recordedWindows};
}

} // namespace recording
