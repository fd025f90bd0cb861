#pragma once

#include "annotation/Annotation.h"
#include "editor/canvas/CanvasGeometry.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>

class QPainter;

namespace editor {

// What the canvas draws over the document to show what the user works on,
// in view points: the same sizes at every canvas scale. The painter's user
// space is the view's.
namespace chrome {

// A handle: a white dot 9 points across with a soft shadow below it and an
// accent ring.
void drawHandleDot(QPainter& painter, QPointF center, const QColor& accent);

// The crop draft (image points): the canvas outside it dimmed by half, the
// thirds, a white border, eight handles and its size in pixels (at
// `pixelsPerPoint`) in a capsule above it (inside it, when there is no room
// above).
void drawCropChrome(QPainter& painter, const annotation::Rect& draft,
                    const CanvasGeometry& geometry, const QColor& accent,
                    double pixelsPerPoint = 1);

// The selected mark: a dashed accent outline 4 points outside its bounds
// (none for arrows and lines, whose two handles mark them) and its handles.
void drawSelectionChrome(QPainter& painter, const annotation::Annotation& mark,
                         const CanvasGeometry& geometry, const QColor& accent);

// The size label of a crop draft: whole pixels of the image at
// `pixelsPerPoint`, "W × H", in this font.
QFont cropLabelFont();
QString cropSizeText(const annotation::Rect& draft, double pixelsPerPoint = 1);
// Where the size label's capsule goes for a draft shown at `draftInView`,
// given the text's measured size.
QRectF cropLabelRect(const annotation::Rect& draftInView, QSizeF textSize);

} // namespace chrome
} // namespace editor
