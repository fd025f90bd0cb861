#pragma once

#include "app/Capture.h"

#include <cstdint>
#include <functional>
#include <set>

namespace delivery {

// Stands in for pinned screenshots until they are built: nothing is pinned,
// so there are no pinned windows to keep in pictures.
class PinManager {
public:
    static PinManager& shared();

    std::function<void(const app::Capture&)> onEdit;

    // Pins the capture to the screen; this version pins nothing.
    void pin(const app::Capture& capture);
    // The X window ids of the open pinned screenshots.
    std::set<std::uint32_t> windowNumbers() const { return {}; }
};

} // namespace delivery
