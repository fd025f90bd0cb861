#include "delivery/PinManager.h"

namespace delivery {

PinManager& PinManager::shared() {
    static PinManager instance;
    return instance;
}

void PinManager::pin(const app::Capture& /*capture*/) {}

} // namespace delivery
