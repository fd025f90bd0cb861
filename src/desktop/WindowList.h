#pragma once

#include "desktop/CaptureDisplay.h"
#include "desktop/WindowInfo.h"

#include "platform/ClientWindows.h"
#include "platform/DesktopEntries.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <vector>

#include <cstdint>
#include <optional>

namespace desktop {

// The on-screen windows a user may pick, front to back, and the questions the
// selection overlay and the recorder ask of them. Main thread only.
namespace WindowList {

// Our own windows that may appear in pictures: visible, not minimised, titled
// (decorated by the window manager) and at the normal level (not kept above
// or below, not bypassing the manager).
QSet<std::uint32_t> ownCapturableWindowIDs();

// Every pickable window, front to back.
std::vector<WindowInfo> copyWindowInfo();

// One managed window as a WindowInfo, or nothing when a user should not pick
// it: not viewable or minimised; a desktop, dock, menu, tooltip, notification
// or other transient kind; fully transparent (opacity 0.01 or less); under 24
// points in width or height; or one of ours that is not in `keep`.
// `displays` turn its pixels into points; `applications` name its owner by
// its WM_CLASS (without them, or without a match, the owner is the class).
std::optional<WindowInfo> windowInfo(const platform::ClientWindow& window, std::int32_t ownPID,
                                     const QSet<std::uint32_t>& keep,
                                     const QList<CaptureDisplay>& displays,
                                     const platform::DesktopEntries* applications = nullptr);

// The first window whose frame holds the point (the topmost there).
std::optional<WindowInfo> window(const QPointF& at, const std::vector<WindowInfo>& list);

// Frames of the windows in front of `intersecting` in `list` that overlap it, in
// list order; empty when it is not in the list.
std::vector<QRectF> windows(const WindowInfo& intersecting, const std::vector<WindowInfo>& list);

// A point of `rect` that none of `covering` hides, for a label: the centre
// when it is uncovered, else the centre of the largest uncovered strip beside
// a covering frame, else the centre anyway.
QPointF placement(const QRectF& rect, const std::vector<QRectF>& covering);

// Where a window is now (its frame in global points), whatever its kind;
// nothing when it no longer exists.
std::optional<QRectF> bounds(std::uint32_t id);

} // namespace WindowList

} // namespace desktop
