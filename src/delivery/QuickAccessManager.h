#pragma once

#include "app/Capture.h"
#include "app/QuickAccessItem.h"
#include "app/Recording.h"

#include <functional>

namespace delivery {

// Stands in for the Quick Access cards until they are built: a finished
// capture shows no card. The callbacks the cards will call are kept, so the
// start-up already wires them.
class QuickAccessManager {
public:
    static QuickAccessManager& shared();

    std::function<void(const app::Capture&)> onEdit;
    std::function<void(const app::Capture&)> onPin;
    std::function<void(const app::Recording&)> onEditRecording;

    // Shows a card for the item; this version shows none.
    void show(const app::QuickAccessItem& item);
};

} // namespace delivery
