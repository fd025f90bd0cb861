#pragma once

#include "desktop/CaptureDisplay.h"
#include "desktop/CaptureError.h"
#include "desktop/WindowInfo.h"

#include <QImage>
#include <QRectF>

#include <optional>

namespace capture {

// What a click or a drag picks in the selection overlay; Space toggles it.
enum class SelectionMode { area, window };

// What a finished gesture picked. The rectangle of an area is in points of its
// display with the origin at the display's top-left corner; the display of a
// window pick is the one on which the click happened.
struct SelectionPick {
    enum class Kind { area, window, display };

    Kind kind = Kind::display;
    desktop::CaptureDisplay display;
    QRectF rect;
    std::optional<desktop::WindowInfo> window;

    static SelectionPick area(const desktop::CaptureDisplay& display, const QRectF& rect) {
        return {Kind::area, display, rect, std::nullopt};
    }
    static SelectionPick ofWindow(const desktop::WindowInfo& window,
                                  const desktop::CaptureDisplay& display) {
        return {Kind::window, display, {}, window};
    }
    static SelectionPick ofDisplay(const desktop::CaptureDisplay& display) {
        return {Kind::display, display, {}, std::nullopt};
    }
};

// The picture a selection took of what was picked.
struct SelectionPicture {
    QImage image;
    // Pixels per point.
    qreal scale = 1;
    // True only when the picture shows one window by itself.
    bool isWindowAlone = false;
};

// What a selection hands back, once.
struct SelectionOutcome {
    enum class Kind { area, window, display, failed, cancelled };

    Kind kind = Kind::cancelled;
    std::optional<desktop::CaptureDisplay> display;
    // The area, for an area outcome.
    QRectF rect;
    std::optional<desktop::WindowInfo> window;
    // Present exactly when the selection takes pictures and the picture was taken.
    std::optional<SelectionPicture> picture;
    // For a failed outcome.
    std::optional<desktop::CaptureError> error;

    static SelectionOutcome cancelled() { return {}; }
    static SelectionOutcome failed(const desktop::CaptureError& error) {
        SelectionOutcome outcome;
        outcome.kind = Kind::failed;
        outcome.error = error;
        return outcome;
    }
    // The outcome of the same case as `pick`.
    static SelectionOutcome of(const SelectionPick& pick,
                               std::optional<SelectionPicture> picture = std::nullopt) {
        SelectionOutcome outcome;
        switch (pick.kind) {
        case SelectionPick::Kind::area:
            outcome.kind = Kind::area;
            break;
        case SelectionPick::Kind::window:
            outcome.kind = Kind::window;
            break;
        case SelectionPick::Kind::display:
            outcome.kind = Kind::display;
            break;
        }
        outcome.display = pick.display;
        outcome.rect = pick.kind == SelectionPick::Kind::area ? pick.rect : QRectF();
        outcome.window = pick.window;
        outcome.picture = std::move(picture);
        return outcome;
    }
};

} // namespace capture
