#include "desktop/RegionFrameWindow.h"

#include "platform/ScreenGrabber.h"

#include <QPainter>

namespace desktop {

RegionFrameWindow::RegionFrameWindow(const QRectF& screenFrame, const QRectF& region)
    : QWidget(nullptr, Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                           Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus)
    , screenFrame_(screenFrame)
    , region_(region)
    , translucent_(platform::ScreenGrabber::shared() != nullptr &&
                   platform::ScreenGrabber::shared()->compositorRunning()) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(screenFrame_.toRect());
    applyMask();
    show();
}

void RegionFrameWindow::setStyle(Style style) {
    style_ = style;
    applyMask();
    update();
}

void RegionFrameWindow::applyMask() {
    // Without a compositor the transparent parts would show black: the
    // window is cut down to its outline instead.
    if (!translucent_) {
        setMask(regionFrame::outlineMask(region_, style_));
    }
}

void RegionFrameWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    regionFrame::paint(painter, size(), region_, style_, palette().color(QPalette::Highlight),
                       translucent_);
}

} // namespace desktop
