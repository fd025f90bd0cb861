#pragma once

#include "desktop/PanelSurface.h"
#include "desktop/RegionFramePainter.h"

#include <QRectF>
#include <QWidget>

namespace desktop {

// Keeps a chosen region in view while a scrolling capture or a recording runs:
// a window over the whole display that takes no clicks, never the focus and
// no place in window cycling, drawing the surround and an outline of the
// region. The owner switches it to the recording style, and closes it.
class RegionFrameWindow final : public QWidget {
    Q_OBJECT

public:
    using Style = RegionFrameStyle;

    // `screenFrame` is the display's frame (global points); `region` is in
    // points of that display, origin at its top-left corner. Shown at once.
    RegionFrameWindow(const QRectF& screenFrame, const QRectF& region);

    Style style() const { return style_; }
    void setStyle(Style style);
    const QRectF& region() const { return region_; }
    // A followed window moved: the frame goes round the new region.
    void setRegion(const QRectF& region);
    const QRectF& screenFrame() const { return screenFrame_; }
    // Whether the window can blend with what lies below it; without that it
    // shows the outline alone.
    bool isTranslucent() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void cutToOutline();

    QRectF screenFrame_;
    QRectF region_;
    Style style_ = Style::dimmed;
    PanelSurface* surface_;
};

} // namespace desktop
