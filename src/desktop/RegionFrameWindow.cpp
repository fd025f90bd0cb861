#include "desktop/RegionFrameWindow.h"

#include "platform/WindowShape.h"

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
    cutToOutline();
    update();
}

void RegionFrameWindow::setRegion(const QRectF& region) {
    region_ = region;
    surface_->reshape();
    cutToOutline();
    update();
}

void RegionFrameWindow::cutToOutline() {
    // While recording, a blending frame paints its outline alone and leaves
    // the rest of the display clear. Cut to that outline, it covers nothing
    // else, so a recording that leaves our panels out has nothing to put
    // back under it (and nothing to guess where the desktop's background is
    // the compositing manager's own).
    if (!isTranslucent() || !testAttribute(Qt::WA_WState_Created)) {
        return;
    }
    const QRegion shown =
        style_ == Style::recording
            ? outlineRegion(regionFrame::outlineArea(region_, style_), devicePixelRatioF())
            : QRegion(QRect(QPoint(0, 0), size() * devicePixelRatioF()));
    platform::setWindowShape(winId(), shown);
}

void RegionFrameWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    regionFrame::paint(painter, size(), region_, style_, palette().color(QPalette::Highlight),
                       isTranslucent());
}

} // namespace desktop
