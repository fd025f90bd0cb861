#pragma once

#include "app/Capture.h"
#include "app/Recording.h"

#include <variant>

namespace app {

// What a Quick Access card shows: a screenshot or a recording. Kept here so
// that the capture flows hand it to delivery without depending on it.
using QuickAccessItem = std::variant<Capture, Recording>;

} // namespace app
