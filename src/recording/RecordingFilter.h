#pragma once

#include "platform/StreamWindows.h"

#include <QSet>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace recording {

// What a recording leaves out or lets in.
struct RecordingFilter {
    // Application ids (the class of WM_CLASS) the user hides from recordings.
    QStringList hiddenApps;
    // Leave notification banners out.
    bool hideNotifications = false;
    // Our own windows that must show (the overlay, the camera bubble).
    QSet<std::uint32_t> recordedWindows;
    // The one window recorded alone; absent for a display or an area.
    std::optional<std::uint32_t> window;

    friend bool operator==(const RecordingFilter&, const RecordingFilter&) = default;

    // The application ids left out: the hidden ones that are not empty,
    // and the notification id when notifications are hidden.
    QSet<QString> excludedAppIds() const;

    // For a display or an area: what the frames leave out, with this
    // process's windows out except `ownCapturable` (its ordinary, titled
    // windows) and `recordedWindows`.
    platform::WindowsLeftOut leftOut(std::int32_t ownPid,
                                     const QSet<std::uint32_t>& ownCapturable) const;
    // For one window: that window and `recordedWindows`. Only when `window`
    // is there.
    platform::WindowsShown shown() const;
};

} // namespace recording
