#include "capture/scrolling/ScrollingHudPlacement.h"

#include <algorithm>
#include <cmath>

namespace capture {

namespace {

constexpr double kInset = 8;
constexpr double kGap = 14;
constexpr double kCornerInset = 12;

} // namespace

HudPlacement placeHud(const QRectF& region, const QSizeF& panel, const QRectF& visible) {
    const double w = panel.width();
    const double h = panel.height();
    const double top =
        std::max(visible.top() + kInset, std::min(region.top(), visible.bottom() - kInset - h));
    if (region.right() + kGap + w <= visible.right() - kInset) {
        return {{region.right() + kGap, top}, std::nullopt};
    }
    if (visible.left() + kInset <= region.left() - kGap - w) {
        return {{region.left() - kGap - w, top}, std::nullopt};
    }
    const double x = std::clamp(region.right() - w, visible.left() + kInset,
                                std::max(visible.left() + kInset, visible.right() - kInset - w));
    if (region.bottom() + kGap + h <= visible.bottom() - kInset) {
        return {{x, region.bottom() + kGap}, std::nullopt};
    }
    if (visible.top() + kInset <= region.top() - kGap - h) {
        return {{x, region.top() - kGap - h}, std::nullopt};
    }
    const double bottom = std::floor(visible.bottom() - kInset - h - kGap);
    if (bottom - region.top() >= minimumRegionHeight) {
        QRectF shortened = region;
        shortened.setBottom(bottom);
        return {{x, bottom + kGap}, shortened};
    }
    return {{region.right() - w - kCornerInset,
             std::min(region.bottom() - kCornerInset, visible.bottom() - kInset) - h},
            std::nullopt};
}

} // namespace capture
