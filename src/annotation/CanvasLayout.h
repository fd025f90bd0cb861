#pragma once

#include "annotation/Background.h"
#include "annotation/EditorState.h"
#include "annotation/Geometry.h"

#include <optional>

namespace annotation {

// The geometry of the framed picture. A point q of the base image lies in the
// picture at imageOrigin + (q − crop.origin). The canvas, the background panel
// and the renderer all lay the picture out through this one function, so
// that what is shown and what is exported agree.
struct CanvasLayout {
    Size canvasSize;
    Point imageOrigin;
    Size imageSize; // the crop's size
    Rect crop;      // the part of the base image shown, in image points
    std::optional<BackgroundSettings> background;

    // While the crop tool is active (`editingCrop`), the whole image without
    // background. A crop wholly outside the image leaves a visible image of
    // zero size.
    static CanvasLayout make(const EditorState& state, Size imageSize, bool editingCrop);

    Rect imageFrame() const { return Rect(imageOrigin, imageSize); }
};

} // namespace annotation
