#pragma once

#include "app/Capture.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <set>

namespace delivery {

// Stands in for pinned screenshots until they are built: pinning only says,
// in a toast, that it is not available. Nothing is pinned, so there are no
// pinned windows to keep in pictures.
class PinManager {
public:
    static PinManager& shared();

    std::function<void(const app::Capture&)> onEdit;

    // Pins the capture to the screen; this version says it cannot.
    void pin(const app::Capture& capture);
    static QString unavailableTitle();
    // The X window ids of the open pinned screenshots.
    std::set<std::uint32_t> windowNumbers() const { return {}; }
};

} // namespace delivery
