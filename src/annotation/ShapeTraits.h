#pragma once

#include "annotation/Annotation.h"

#include <qnamespace.h>

#include <algorithm>
#include <limits>

namespace annotation {

// What each kind of mark is made of, in one table: the renderer draws a mark
// from these traits, the geometry measures and hits it by them, and the
// editor's chrome asks them how a mark is selected and reshaped. A new kind of
// mark is a new row, not a new case in every switch.

// A length that follows the mark's style size: perSize · size + constant, and
// never less than atLeast.
struct SizeRule {
    double perSize = 0;
    double constant = 0;
    double atLeast = -std::numeric_limits<double>::infinity();

    double operator()(double size) const { return std::max(perSize * size + constant, atLeast); }
};

// The payload a kind carries.
enum class ShapeForm { ends, area, label, badge, stroke };

// The figure that is painted.
enum class Outline {
    none,           // nothing of its own: pixelate, blur and spotlight change the
                    // picture under every mark instead
    arrowHead,      // the closed arrow outline from start to end
    segment,        // straight from start to end
    roundedRect,    // the standardized rectangle, corners of min(0.8 · size, half a side)
    ellipse,        // inscribed in the standardized rectangle
    labelBox,       // a text's frame, corners of min(half its height, 0.32 · font size)
    disc,           // a counter's badge
    smoothedStroke, // quadratic curves through the points
};

// How the figure is painted.
enum class Paint { none, stroke, fill, fillAndStroke };

// The mark's colour as it is painted.
enum class Ink {
    own,       // the colour as chosen
    highlight, // its red, green and blue at alpha 0.42, multiplied with what lies under it
};

// Letters a mark carries.
enum class Lettering {
    none,
    // The text of a label: in the mark's colour with no box in the plain
    // style; in black or white by the colour's brightness over the filled
    // box in the filled style.
    label,
    // The counter's number, in black or white by the colour's brightness,
    // over a white ring.
    number,
};

// How the pointer hits the mark (the tolerance t is added to hitBand).
enum class HitRule {
    nearSegment, // within the band of the segment between the ends
    nearOutline, // within the band of the rectangle's edges; a small one anywhere inside
    nearEllipse, // within the band of the ellipse's outline (estimated distance)
    inArea,      // anywhere in the standardized rectangle
    inBounds,    // anywhere in the bounds
    nearStroke,  // within the band of the polyline
};

// Where the mark's bounds come from.
enum class Extent {
    spanOfEnds,   // the rectangle spanned by the ends, outset by boundsOutset
    area,         // the standardized rectangle
    labelFrame,   // the measured text plus its padding
    badge,        // the counter's square
    spanOfPoints, // the rectangle spanned by the points, outset by boundsOutset
};

// The drag handles the editor offers.
enum class HandleSet { none, ends, edges };

struct ShapeTraits {
    ShapeKind kind;
    ShapeForm form;

    // Drawing.
    Outline outline;
    Paint paint;
    SizeRule strokeWidth;
    Qt::PenCapStyle cap;
    Ink ink;
    Lettering lettering;
    // Whether the mark's shadow setting applies: the highlighter multiplies
    // with the picture and casts none; regions are no marks of their own.
    bool castsShadow;

    // Geometry.
    Extent extent;
    SizeRule boundsOutset;
    HitRule hit;
    SizeRule hitBand;

    // Editing.
    HandleSet handles;
    // Whether the selection is shown as the bounds' outline; arrows and lines
    // show their two end handles instead.
    bool hasSelectionOutline;
    // Pixelate, blur and spotlight: areas of the picture, drawn under every
    // mark whatever the list order; colour, size and shadow mean nothing to
    // them.
    bool isRegion;
    // Whether the text style applies.
    bool usesTextStyle;

    // A line-like mark with a start and an end.
    bool hasTwoEnds() const { return form == ShapeForm::ends; }
};

const ShapeTraits& traitsOf(ShapeKind kind);
inline const ShapeTraits& traitsOf(const Annotation& annotation) {
    return traitsOf(annotation.shape.kind());
}

} // namespace annotation
