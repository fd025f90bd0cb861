#include "desktop/RegionFrameWindow.h"

#include <QPainter>

namespace desktop {

RegionFrameWindow::RegionFrameWindow(const QRectF& screenFrame, const QRectF& region)
    : QWidget(nullptr, Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                           Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus)
    , screenFrame_(screenFrame)
    , region_(region)
    // Without blending, the window is cut down to the outline alone.
    , surface_(
          new PanelSurface(this, [this] { return regionFrame::outlineArea(region_, style_); })) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(screenFrame_.toRect());
    show();
}

bool RegionFrameWindow::isTranslucent() const {
    return surface_->isTranslucent();
}

void RegionFrameWindow::setStyle(Style style) {
    style_ = style;
    surface_->reshape();
    update();
}

void RegionFrameWindow::setRegion(const QRectF& region) {
    region_ = region;
    surface_->reshape();
    update();
}

void RegionFrameWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    regionFrame::paint(painter, size(), region_, style_, palette().color(QPalette::Highlight),
                       isTranslucent());
}

} // namespace desktop
