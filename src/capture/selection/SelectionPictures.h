#pragma once

#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureDisplay.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace capture {

// The picture of one window by itself, or nothing when it cannot be taken.
using WindowPictureSource = std::function<std::optional<SelectionPicture>(std::uint32_t windowID)>;

// The picture of what a selection picked. Areas and displays come from the
// pictures of the displays taken before the overlay appeared, so the overlay
// is never in them. A window comes from `windowPicture`; when that fails, the
// window's visible part on the clicked display stands in for it.
std::variant<SelectionPicture, desktop::CaptureError>
takeSelectionPicture(const SelectionPick& pick,
                     const std::vector<desktop::DisplaySnapshot>& snapshots,
                     const WindowPictureSource& windowPicture);

// The part of a display's picture under `rect` (the display's own points).
std::variant<SelectionPicture, desktop::CaptureError>
cropSnapshot(const desktop::DisplaySnapshot& snapshot, const QRectF& rect);

} // namespace capture
