#pragma once

#include <QByteArray>

#include <cstdint>

namespace platform {

// The EDID block a RandR output reports for its monitor (the "EDID" output
// property); empty when the output has none (virtual screens, Xvfb) or there
// is no X server. Main thread only.
QByteArray outputEdid(std::uint32_t outputID);

} // namespace platform
