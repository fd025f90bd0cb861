#pragma once

#include <QString>

#include <span>

namespace desktop {

// The delays the settings and the status menu offer.
class SelfTimer {
public:
    SelfTimer() = delete;
    // 0, 3, 5 and 10 seconds, in that order.
    static std::span<const int> delays();
    // "3 seconds", "5 seconds", "10 seconds"; any other value "Off".
    static QString title(int delay);
};

} // namespace desktop
