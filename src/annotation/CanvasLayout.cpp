#include "annotation/CanvasLayout.h"

namespace annotation {

CanvasLayout CanvasLayout::make(const EditorState& state, Size image, bool editingCrop) {
    const Rect whole(0, 0, image.width, image.height);
    CanvasLayout layout;
    if (editingCrop) {
        layout.canvasSize = image;
        layout.imageSize = image;
        layout.crop = whole;
        return layout;
    }
    Rect crop = state.crop ? state.crop->intersected(whole) : whole;
    if (crop.isNull()) {
        crop = Rect(0, 0, 0, 0);
    }
    layout.crop = crop;
    layout.imageSize = crop.size;
    const double w = crop.width();
    const double h = crop.height();
    if (!state.background.isEnabled) {
        layout.canvasSize = crop.size;
        return layout;
    }
    const double p = state.background.padding;
    double cw = w + 2 * p;
    double ch = h + 2 * p;
    if (const std::optional<double> r = ratio(state.background.aspect); r && ch > 0) {
        if (cw / ch < *r) {
            cw = ch * *r;
        } else {
            ch = cw / *r;
        }
    }
    const double roundedWidth = roundHalfAway(cw);
    const double roundedHeight = roundHalfAway(ch);
    layout.canvasSize = Size{roundedWidth, roundedHeight};
    layout.imageOrigin =
        Point{roundHalfAway((roundedWidth - w) / 2), roundHalfAway((roundedHeight - h) / 2)};
    layout.background = state.background;
    return layout;
}

} // namespace annotation
