#pragma once

#include <QColor>

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// The colour a tray asks its icons to draw their symbols in: the foreground
// of `_NET_SYSTEM_TRAY_COLORS` on the window of the tray that manages the
// default screen (the owner of `_NET_SYSTEM_TRAY_S<n>`). None without a tray,
// without an X server, or when the tray does not say.
std::optional<QColor> systemTrayForeground();

// The foreground of a `_NET_SYSTEM_TRAY_COLORS` value: twelve 16-bit
// channels (foreground, error, warning and success, red green blue each), the
// first three the foreground. None for a value too short to hold them.
std::optional<QColor> trayForegroundFrom(const std::vector<std::uint32_t>& words);

} // namespace platform
