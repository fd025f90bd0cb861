#pragma once

#include <QString>

#include <functional>

namespace delivery {

// A round corner button of a Quick Access card.
struct CornerAction {
    // The picture's name ("pencil", "pin.fill", "scissors", "play.fill").
    QString symbol;
    // Already translated; the button's tooltip and accessible name.
    QString help;
    std::function<void()> action;
};

} // namespace delivery
