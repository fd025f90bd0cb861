#include "desktop/SelfTimer.h"

#include <QCoreApplication>

#include <array>

namespace desktop {

std::span<const int> SelfTimer::delays() {
    static constexpr std::array<int, 4> kDelays{0, 3, 5, 10};
    return kDelays;
}

QString SelfTimer::title(int delay) {
    switch (delay) {
    case 3:
        //: Self-timer delay in the settings picker and the status menu's Self-Timer submenu
        return QCoreApplication::translate("SelfTimer", "3 seconds");
    case 5:
        //: Self-timer delay in the settings picker and the status menu's Self-Timer submenu
        return QCoreApplication::translate("SelfTimer", "5 seconds");
    case 10:
        //: Self-timer delay in the settings picker and the status menu's Self-Timer submenu
        return QCoreApplication::translate("SelfTimer", "10 seconds");
    default:
        //: Self-timer switched off, in the settings picker and the status menu's Self-Timer submenu
        return QCoreApplication::translate("SelfTimer", "Off");
    }
}

} // namespace desktop
