#pragma once

#include "delivery/CornerAction.h"

#include <QMimeData>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace delivery {

// What each control of a Quick Access card's view calls. The card fills it;
// every call holds the card weakly, so a view never keeps a dismissed card.
struct QuickAccessActions {
    std::function<void()> copy;
    std::function<void()> save;
    std::function<void()> saveAs;
    // The top-right button; absent for a GIF recording.
    std::optional<CornerAction> edit;
    // The bottom-left button: pin a screenshot, play a recording.
    CornerAction secondary;
    // Receives the widget below which the share menu opens.
    std::function<void(QWidget* anchor)> share;
    std::function<void()> close;
    // The data of a drag that starts on the tile; without formats when there
    // is nothing to drag.
    std::function<std::unique_ptr<QMimeData>()> dragItem;
};

} // namespace delivery
