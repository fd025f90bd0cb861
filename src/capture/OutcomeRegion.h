#pragma once

#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureDisplay.h"

#include <QRectF>

#include <optional>

namespace capture {

// A display and a region of it in points, origin at the display's top-left
// corner: what a scrolling capture or a recording is aimed at.
struct OutcomeRegion {
    desktop::CaptureDisplay display;
    QRectF region;
};

// The display and region an area, window or display outcome picked. A window
// is clipped to its display; nothing when it lies wholly off it, and nothing
// for a failed or cancelled outcome.
std::optional<OutcomeRegion> regionOf(const SelectionOutcome& outcome);

} // namespace capture
