#pragma once

#include "annotation/Annotation.h"

namespace editor {

// How a new mark takes shape while the mouse is dragged after it was placed,
// and whether it is worth keeping when the mouse is let go. One entry per
// kind of mark; the controller looks the entry up and knows nothing of the
// kinds themselves.
struct ShapeDrawing {
    struct Drag {
        annotation::Point origin; // where the mouse went down, image points
        annotation::Point point;  // where it is now
        bool shift = false;
        double viewScale = 1; // view points per image point
    };
    // The shape after a drag step; gets the shape as it stands.
    annotation::Shape (*shaped)(const annotation::Shape& current, const Drag& drag);
    // Whether a finished mark is too small to keep (a click without a drag).
    bool (*tooSmall)(const annotation::Shape& shape);
};

const ShapeDrawing& shapeDrawing(annotation::ShapeKind kind);

// The end of a segment from `origin` towards `point`, its direction snapped
// to the nearest multiple of 45° and its length kept; the point itself when
// it lies on the origin.
annotation::Point snappedEnd(annotation::Point origin, annotation::Point point);
// The corner of a square from `origin` towards `point`, as large as the
// larger of the two differences (a zero difference counts as positive).
annotation::Point squareCorner(annotation::Point origin, annotation::Point point);

} // namespace editor
