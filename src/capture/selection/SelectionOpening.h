#pragma once

#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureError.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <variant>

namespace capture {

// Opens the selection overlay for a capture flow over pictures of the displays
// taken just before it covers them: the overlay shows these pictures, areas
// are cut from them, and a window picked alone is read against them. The
// magnifier and crosshair follow the settings. The session lives as long as
// the handle.
std::variant<std::unique_ptr<QObject>, desktop::CaptureError>
openCaptureSelection(SelectionMode mode, bool takesPictures, const QString& hint,
                     std::function<void(const SelectionOutcome&)> completion);

} // namespace capture
