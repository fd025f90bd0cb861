#pragma once

#include "app/SettingsEnums.h"

#include <QByteArray>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// Where the camera bubble goes and how big it is. Rectangles are in global
// points with a top-left origin; stored positions keep their own form, the
// bubble's centre as fractions of the display measured from its bottom-left
// corner, and are converted here only.
namespace overlays::cameraGeometry {

// 160, 220 or 300 wide; as high for a circle, three quarters of that for a
// rounded rectangle.
QSizeF bubbleSize(app::CameraSize size, app::CameraShape shape);
// Half the shorter side for a circle, 12 % of it (whole points) otherwise.
double cornerRadius(const QSizeF& size, app::CameraShape shape);

// `frame` moved (not resized) into `container`; pinned to its left or top
// edge when it does not fit.
QRectF clamped(const QRectF& frame, const QRectF& container);

// The first place in a window recording: 20 points inside the window's
// bottom-right corner.
QRectF defaultFrameInWindow(const QSizeF& size, const QRectF& window);
// The first place on a display: 40 points inside the bottom-right corner of
// its visible frame, kept on the display.
QRectF defaultFrameOnDisplay(const QSizeF& size, const QRectF& visible, const QRectF& display);

// A stored position and the frame it stands for, kept on the display however
// odd the stored numbers are (out of range, not finite).
QRectF frameFromStored(const QSizeF& size, const QPointF& stored, const QRectF& display);
// The position to store for a frame: fractions in [0, 1] for a frame on the
// display.
QPointF storedFromFrame(const QRectF& frame, const QRectF& display);

// The bubble's frame after the container (the recorded window) moved from
// `from` to `to`: it keeps its distance to the nearer edges and its size,
// and stays inside.
QRectF movedWith(const QRectF& frame, const QRectF& from, const QRectF& to);

// The bubble dragged by `delta` from where the drag began.
QRectF dragged(const QRectF& start, const QPointF& delta, const QRectF& container);

// The same frame with another size about the same centre, kept inside.
QRectF resized(const QRectF& frame, const QSizeF& size, const QRectF& container);

// The key a display's stored position goes under: a UUID-form text derived
// from the EDID of the monitor's output, the same on every run and port;
// else the decimal display number.
QString displayKey(const QByteArray& edid, std::uint32_t displayNumber);

} // namespace overlays::cameraGeometry
