#include "delivery/QuickAccessCardModel.h"

namespace delivery {

void QuickAccessCardModel::setHovering(bool hovering) {
    if (hovering == isHovering_) {
        return;
    }
    isHovering_ = hovering;
    Q_EMIT isHoveringChanged(hovering);
}

void QuickAccessCardModel::setNote(const std::optional<QString>& note) {
    if (note == note_) {
        return;
    }
    note_ = note;
    Q_EMIT noteChanged();
}

} // namespace delivery
