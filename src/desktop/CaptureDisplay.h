#pragma once

#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QScreen>

#include <cstdint>

namespace desktop {

// One display a capture is aimed at.
//
// Qt and X11 share one global coordinate system (top-left origin, y down,
// logical pixels = points), so `frame` is directly comparable with window
// frames, cursor positions and widget geometry; no conversion between global
// systems exists. Capture regions are points relative to the frame's top-left.
struct CaptureDisplay {
    QPointer<QScreen> screen;
    // From the RandR output driving the display (see ScreenGeometry::displayID).
    std::uint32_t displayID = 0;
    // Pixels per point: QScreen::devicePixelRatio().
    double scale = 1.0;
    // QScreen::geometry() in global points.
    QRectF frame;

    friend bool operator==(const CaptureDisplay&, const CaptureDisplay&) = default;
};

// One display with a still picture of the whole of it.
struct DisplaySnapshot {
    QPointer<QScreen> screen;
    std::uint32_t displayID = 0;
    // Every pixel of the display; its devicePixelRatio() is `scale`.
    QImage image;
    double scale = 1.0;
    QRectF frame;

    CaptureDisplay display() const { return {screen, displayID, scale, frame}; }
};

} // namespace desktop
