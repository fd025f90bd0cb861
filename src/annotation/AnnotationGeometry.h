#pragma once

#include "annotation/Annotation.h"

#include <utility>
#include <vector>

namespace annotation {

// Selecting, outlining, dragging and reshaping marks: pure functions in image
// points that never change their input.

// The area the mark covers.
Rect bounds(const Annotation& annotation);
// Whether the point hits the mark, with a tolerance in image points.
bool contains(const Annotation& annotation, Point p, double tolerance);
// Handles with their positions, in handle order.
std::vector<std::pair<Handle, Point>> handles(const Annotation& annotation);
// The mark moved by (dx, dy); rectangle shapes come back standardized.
Annotation offset(const Annotation& annotation, double dx, double dy);
// The mark with the handle dragged to the point; text, counters and strokes
// come back unchanged.
Annotation resizing(const Annotation& annotation, Handle handle, Point p);
// The rectangle rule shared by rectangle shapes and the crop drag.
Rect resizing(Handle handle, const Rect& rect, Point p);

// The label frame of a text of this size: the text measured in the label
// font plus the padding (an empty text measures one space).
Rect textFrame(Point origin, const QString& text, double size);
// Label font size f = 3·size + 10 and its paddings.
double labelFontSize(double size);
double labelPaddingX(double fontSize);
double labelPaddingY(double fontSize);
// Side of a counter badge.
double counterDiameter(double size);

Rect boundingRect(const std::vector<Point>& points);
double distanceToSegment(Point a, Point b, Point p);
// The greatest finite double for no points, so an empty stroke is never hit.
double distanceToPolyline(const std::vector<Point>& points, Point p);

} // namespace annotation
