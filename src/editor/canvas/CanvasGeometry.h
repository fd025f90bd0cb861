#pragma once

#include "annotation/Annotation.h"
#include "annotation/CanvasLayout.h"
#include "annotation/Geometry.h"

#include <QColor>

namespace annotation {
class EditorDocument;
}

namespace editor {

// Ties the three spaces of the canvas together: image points (marks, the
// crop), canvas points (the framed picture of a layout) and view points (the
// widget, logical pixels). Computed afresh for every event and every paint;
// never stored, so it can never disagree with the document.
struct CanvasGeometry {
    annotation::CanvasLayout layout;
    double scale = 1;         // view points per canvas point
    annotation::Point origin; // view position of the canvas's top-left corner

    // Fits the layout of the state into a view of the given size: never
    // larger than one view point per canvas point, at least 28 points free on
    // each side when it has to shrink, centred on whole points.
    static CanvasGeometry make(const annotation::EditorState& state, annotation::Size imageSize,
                               bool editingCrop, annotation::Size viewSize);
    // The document as it is shown: the whole uncropped image while the crop
    // tool is active.
    static CanvasGeometry of(const annotation::EditorDocument& document, annotation::Size viewSize);

    annotation::Point toView(annotation::Point imagePoint) const;
    annotation::Point toImage(annotation::Point viewPoint) const;
    // Both corners mapped, standardized.
    annotation::Rect toView(const annotation::Rect& imageRect) const;
    // Where the displayed canvas lies in the view.
    annotation::Rect canvasRect() const;
};

// Where and how the text field lies over a text mark: the label's frame
// and font, scaled to the view.
struct TextFieldLayout {
    annotation::Rect frame; // view points
    double fontPixelSize = 0;
    double insetX = 0; // text container inset, view points
    double insetY = 0;
    double cornerRadius = 0;
    QColor textColor;
    // Filled labels sit on their colour; plain ones get an accent border.
    bool filled = false;
    QColor fillColor;
};

// The field over a text mark at the geometry; the mark must be a text.
TextFieldLayout textFieldLayout(const annotation::Annotation& text, const CanvasGeometry& geometry);

} // namespace editor
