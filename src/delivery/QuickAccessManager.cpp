#include "delivery/QuickAccessManager.h"

namespace delivery {

QuickAccessManager& QuickAccessManager::shared() {
    static QuickAccessManager instance;
    return instance;
}

void QuickAccessManager::show(const app::QuickAccessItem& /*item*/) {}

} // namespace delivery
