#include "capture/OutcomeRegion.h"

namespace capture {

std::optional<OutcomeRegion> regionOf(const SelectionOutcome& outcome) {
    if (!outcome.display) {
        return std::nullopt;
    }
    const desktop::CaptureDisplay& display = *outcome.display;
    const QRectF whole(QPointF(0, 0), display.frame.size());
    switch (outcome.kind) {
    case SelectionOutcome::Kind::area:
        return OutcomeRegion{display, outcome.rect};
    case SelectionOutcome::Kind::display:
        return OutcomeRegion{display, whole};
    case SelectionOutcome::Kind::window: {
        if (!outcome.window) {
            return std::nullopt;
        }
        // Window frames and display frames share one global system here, so
        // moving by the display's origin is all the conversion there is.
        const QRectF local = outcome.window->frame.translated(-display.frame.topLeft());
        const QRectF clipped = local.intersected(whole);
        if (clipped.isEmpty()) {
            return std::nullopt;
        }
        return OutcomeRegion{display, clipped};
    }
    case SelectionOutcome::Kind::failed:
    case SelectionOutcome::Kind::cancelled:
        break;
    }
    return std::nullopt;
}

} // namespace capture
