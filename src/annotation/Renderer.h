#pragma once

#include "annotation/CanvasLayout.h"
#include "annotation/EditorState.h"
#include "annotation/ImageSources.h"

#include <QImage>
#include <QPainterPath>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

class QPainter;

namespace annotation {

// Why a document could not be flattened.
enum class RenderFailure {
    emptyCanvas, // narrower or lower than one pixel
    tooLarge,    // beyond kMaxRenderPixels
    outOfMemory, // the bitmap could not be allocated
};
// A user-readable description.
QString describe(RenderFailure failure);

// The largest bitmap the renderer makes (512 MiB of pixels). Nothing the
// editor can set up comes near it; a damaged record that asks for more fails
// cleanly instead of exhausting memory.
inline constexpr qint64 kMaxRenderPixels = qint64{1} << 27;

namespace renderer {

// Flattens the state over the base image: background, framed image with its
// annotations, shadows. Main thread.
std::optional<QImage> render(const EditorState& state, ImageSources& sources,
                             RenderFailure* failure = nullptr);

// Draws the whole framed document (background, shadow, the framed image and
// its marks) as laid out, into a painter whose user space is canvas points
// with y downward: the export and the editor's canvas both draw through it.
// `leaveOut` names an annotation to skip (the text being edited in place).
void drawDocument(QPainter& painter, const EditorState& state, ImageSources& sources,
                  const CanvasLayout& layout, const std::optional<QUuid>& leaveOut = std::nullopt);

// Draws the base image and the annotations into a painter whose user space
// is image points with y downward; `leaveOut` names an annotation to skip
// (the text being edited in place). Pixelate and blur regions are drawn
// first, then the spotlight dimming, then every other mark in list order.
void drawAnnotations(QPainter& painter, const EditorState& state, ImageSources& sources,
                     const std::optional<QUuid>& leaveOut = std::nullopt);

// The closed outline of an arrow of the given width; none when shorter than
// one point.
std::optional<QPainterPath> arrowPath(Point from, Point to, double width);
// Quadratic curves through the midpoints of a stroke.
QPainterPath smoothedPath(const std::vector<Point>& points);

} // namespace renderer
} // namespace annotation
