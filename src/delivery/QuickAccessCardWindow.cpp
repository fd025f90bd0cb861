#include "delivery/QuickAccessCardWindow.h"

#include "delivery/QuickAccessCardView.h"
#include "platform/QuietWindowMove.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainterPath>
#include <QScreen>

#include <cmath>

namespace delivery {

QuickAccessCardWindow::QuickAccessCardWindow(QuickAccessCardView* view,
                                             desktop::PanelSurface::Kind kind)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint)
    , view_(view)
    , surface_(nullptr) {
    //: Title of the floating thumbnail window after a capture (seen by window tools only)
    setWindowTitle(QCoreApplication::translate("QuickAccess", "Quick Access"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Qt shows tooltips in the active window only, and the card never
    // becomes one: its round buttons would never say what they do.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFocusPolicy(Qt::NoFocus);
    view_->setParent(this);
    view_->move(0, 0);
    setFixedSize(view_->size());
    surface_ = new desktop::PanelSurface(
        this,
        [view = view_] {
            QPainterPath outline;
            outline.addRoundedRect(QRectF(view->tileRect()), 12, 12);
            return outline;
        },
        kind);
    view_->installEventFilter(this);
}

void QuickAccessCardWindow::slideFrame(const QPoint& topLeft) {
    const QScreen* on = screen();
    if (isVisible() && on != nullptr) {
        // Qt's device pixels: a screen keeps its top-left corner, the rest is
        // scaled from there.
        const QPoint origin = on->geometry().topLeft();
        const qreal scale = devicePixelRatioF();
        const QPoint pixels(
            origin.x() + static_cast<int>(std::lround((topLeft.x() - origin.x()) * scale)),
            origin.y() + static_cast<int>(std::lround((topLeft.y() - origin.y()) * scale)));
        if (platform::moveWindowQuietly(winId(), pixels)) {
            slidTo_ = topLeft;
            return;
        }
    }
    slidTo_.reset();
    move(topLeft);
}

void QuickAccessCardWindow::settle(const QPoint& topLeft) {
    if (slidTo_ && pos() == topLeft && *slidTo_ != topLeft) {
        // Qt believes the window is already there and would not move it.
        slideFrame(topLeft);
    }
    slidTo_.reset();
    move(topLeft);
}

void QuickAccessCardWindow::follow(bool inside) {
    if (inside == inside_) {
        return;
    }
    inside_ = inside;
    Q_EMIT hoverChanged(inside);
}

bool QuickAccessCardWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_) {
        switch (event->type()) {
        case QEvent::Enter:
            follow(
                view_->tileRect().contains(static_cast<QEnterEvent*>(event)->position().toPoint()));
            break;
        case QEvent::MouseMove:
            follow(
                view_->tileRect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()));
            break;
        case QEvent::Leave:
            follow(false);
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace delivery
