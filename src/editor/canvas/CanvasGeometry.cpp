#include "editor/canvas/CanvasGeometry.h"

#include "annotation/AnnotationGeometry.h"
#include "annotation/EditorDocument.h"

#include <algorithm>

namespace editor {

using annotation::Point;
using annotation::Rect;
using annotation::roundHalfAway;
using annotation::Size;

CanvasGeometry CanvasGeometry::make(const annotation::EditorState& state, Size imageSize,
                                    bool editingCrop, Size viewSize) {
    CanvasGeometry g;
    g.layout = annotation::CanvasLayout::make(state, imageSize, editingCrop);
    const Size canvas = g.layout.canvasSize;
    const double availableWidth = std::max(viewSize.width - 56, 40.0);
    const double availableHeight = std::max(viewSize.height - 56, 40.0);
    double scale = 1.0;
    if (canvas.width > 0 && canvas.height > 0) {
        scale = std::min({availableWidth / canvas.width, availableHeight / canvas.height, 1.0});
    }
    // A picture far larger than the view still keeps a visible size.
    g.scale = std::max(scale, 0.02);
    g.origin = Point{roundHalfAway((viewSize.width - canvas.width * g.scale) * 0.5),
                     roundHalfAway((viewSize.height - canvas.height * g.scale) * 0.5)};
    return g;
}

CanvasGeometry CanvasGeometry::of(const annotation::EditorDocument& document, Size viewSize) {
    return make(document.state(), document.imageSize(), document.tool() == annotation::Tool::crop,
                viewSize);
}

Point CanvasGeometry::toView(Point p) const {
    const Rect frame = layout.imageFrame();
    return Point{origin.x + scale * (p.x + frame.minX() - layout.crop.minX()),
                 origin.y + scale * (p.y + frame.minY() - layout.crop.minY())};
}

Point CanvasGeometry::toImage(Point v) const {
    const Rect frame = layout.imageFrame();
    return Point{(v.x - origin.x) / scale - frame.minX() + layout.crop.minX(),
                 (v.y - origin.y) / scale - frame.minY() + layout.crop.minY()};
}

Rect CanvasGeometry::toView(const Rect& r) const {
    const Point a = toView(Point{r.minX(), r.minY()});
    const Point b = toView(Point{r.maxX(), r.maxY()});
    return Rect(a.x, a.y, b.x - a.x, b.y - a.y).standardized();
}

Rect CanvasGeometry::canvasRect() const {
    return Rect(origin.x, origin.y, layout.canvasSize.width * scale,
                layout.canvasSize.height * scale);
}

TextFieldLayout textFieldLayout(const annotation::Annotation& text, const CanvasGeometry& g) {
    TextFieldLayout field;
    const annotation::TextLabel* label = text.shape.textLabel();
    if (label == nullptr) {
        return field;
    }
    const double f = annotation::labelFontSize(text.size);
    const double padX = annotation::labelPaddingX(f);
    const double padY = annotation::labelPaddingY(f);
    // The label's own frame in canvas points: the text (one space when empty)
    // measured in the label font, plus the padding.
    const Rect content = annotation::textFrame(label->origin, label->string, text.size);
    const Point at = g.toView(label->origin);
    // One font size of room to the right for the caret and the next letter.
    field.frame =
        Rect(at.x, at.y, g.scale * content.width() + g.scale * f, g.scale * content.height());
    field.fontPixelSize = g.scale * f;
    field.insetX = g.scale * padX;
    field.insetY = g.scale * padY;
    field.cornerRadius = g.scale * f * 0.32;
    const app::RGBA& c = text.color;
    if (text.textStyle == annotation::TextStyle::filled) {
        const bool bright = 0.299 * c.red + 0.587 * c.green + 0.114 * c.blue > 0.62;
        field.textColor = bright ? QColor(Qt::black) : QColor(Qt::white);
        field.filled = true;
        field.fillColor = c.toColor();
    } else {
        field.textColor = c.toColor();
    }
    return field;
}

} // namespace editor
