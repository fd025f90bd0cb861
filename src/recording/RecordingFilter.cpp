#include "recording/RecordingFilter.h"

#include "recording/RecordingFiles.h"

namespace recording {

QSet<QString> RecordingFilter::excludedAppIds() const {
    const std::set<QString> ids = excludedAppIDs(hiddenApps, hideNotifications);
    return QSet<QString>(ids.begin(), ids.end());
}

platform::WindowsLeftOut RecordingFilter::leftOut(std::int32_t ownPid,
                                                  const QSet<std::uint32_t>& ownCapturable) const {
    return {excludedAppIds(), ownPid, ownCapturable | recordedWindows};
}

platform::WindowsShown RecordingFilter::shown() const {
    return {window.value_or(0), recordedWindows};
}

} // namespace recording
