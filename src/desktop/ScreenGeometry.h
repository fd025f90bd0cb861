#pragma once

#include "desktop/CaptureDisplay.h"

#include "platform/DisplayMonitors.h"

#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>

#include <cstdint>
#include <optional>

class QScreen;

namespace desktop {

// Displays, the display under the pointer and the sums that move between a
// display's points, global points and root-window pixels. Main thread only.
//
// Global points are Qt's device-independent pixels. Qt keeps every screen's
// top-left corner at its device-pixel position and scales only the size, so a
// display's pixels on the root window start at frame.topLeft() and are
// frame.size() × scale big.
namespace ScreenGeometry {

// The screen whose frame holds the pointer (first in QGuiApplication::screens()
// order, edges as below); else the primary screen; else the first; else null.
QScreen* screenUnderPointer();

// The display identifier of a screen: the id of the RandR output (or virtual
// monitor) it shows, matched by name and then by pixel geometry. Without
// RandR monitors (an offscreen or RandR-less server) the screen's 1-based
// position in the screen list. Nothing when RandR knows no such monitor.
std::optional<std::uint32_t> displayID(const QScreen* screen);

// One CaptureDisplay per screen with a display identifier, in screen order.
QList<CaptureDisplay> captureDisplays();

// The CaptureDisplay of one screen, or nothing when it has no identifier.
std::optional<CaptureDisplay> captureDisplay(QScreen* screen);

// --- pure helpers (no Qt screens, no X server) ---

// Whether a point lies in a frame: left and top edges inside, right and bottom
// edges outside, so a point on the edge two displays share belongs to one.
bool frameContains(const QRectF& frame, const QPointF& point);

// Index of the first frame that contains the point; else `fallback` when it
// is a valid index; else 0; nothing for an empty list.
std::optional<qsizetype> indexOfFrameAt(const QList<QRectF>& frames, const QPointF& point,
                                        qsizetype fallback);

// The identifier for a screen named `screenName` whose pixels lie at
// `pixelGeometry`: the monitor with that name or an output of that name,
// else the monitor at exactly that geometry.
std::optional<std::uint32_t> matchMonitor(const QString& screenName, const QRect& pixelGeometry,
                                          const QList<platform::DisplayMonitor>& monitors);

// The display's pixels on the root window.
QRect pixelRect(const CaptureDisplay& display);
QRect pixelRect(const QRectF& frame, double scale);

// A rectangle in the display's own points (origin at its top-left corner) as
// whole pixels of the display's picture: the smallest pixel rectangle that
// holds rect × scale.
QRect localPixels(const QRectF& localRect, double scale);

// Global points ⇄ the display's own points.
QRectF toLocal(const CaptureDisplay& display, const QRectF& globalRect);
QRectF toGlobal(const CaptureDisplay& display, const QRectF& localRect);

// A rectangle of root-window pixels as global points, by the display that
// holds its centre (else the first display; unchanged with none).
QRectF pixelsToPoints(const QRect& pixels, const QList<CaptureDisplay>& displays);

} // namespace ScreenGeometry

} // namespace desktop
