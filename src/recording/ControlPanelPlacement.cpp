#include "recording/ControlPanelPlacement.h"

#include <algorithm>

namespace recording {

namespace {

constexpr double kGap = 10;
constexpr double kMargin = 8;
constexpr double kInside = 24;

} // namespace

QPointF controlPanelOrigin(QSizeF panel, const QRectF& region, const QRectF& visible) {
    const double w = panel.width();
    const double h = panel.height();
    double top;
    if (region.bottom() + kGap + h <= visible.bottom() - kMargin) {
        top = region.bottom() + kGap;
    } else if (region.top() - kGap - h >= visible.top() + kMargin) {
        top = region.top() - kGap - h;
    } else {
        top = std::min(region.bottom() - kInside, visible.bottom() - kInside) - h;
    }
    const double left = std::min(visible.right() - w - kMargin,
                                 std::max(visible.left() + kMargin, region.center().x() - w / 2));
    return {left, top};
}

} // namespace recording
