#include "delivery/PinView.h"

#include "delivery/PinGeometry.h"
#include "delivery/PinWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <memory>

namespace delivery {

namespace {

// A filled circle with a cross cut out of it, white on translucent black,
// the close mark of floating panels.
class CloseMark final : public QAbstractButton {
public:
    explicit CloseMark(QWidget* parent) : QAbstractButton(parent) {
        setFixedSize(24, 24);
        setCursor(Qt::ArrowCursor);
        setFocusPolicy(Qt::NoFocus);
        //: Close button on a pinned screenshot
        setAccessibleName(QCoreApplication::translate("PinView", "Close"));
        setToolTip(accessibleName());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        constexpr double diameter = 18;
        const QRectF circle(QPointF(width() - diameter, height() - diameter) / 2,
                            QSizeF(diameter, diameter));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, isDown() ? 190 : 153));
        painter.drawEllipse(circle);
        QPen cross(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(cross);
        const QPointF centre = circle.center();
        constexpr double arm = 3.6;
        painter.drawLine(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm));
        painter.drawLine(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm));
    }
};

} // namespace

PinView::PinView(PinWindow* pin) : QWidget(pin), pin_(pin), closeButton_(new CloseMark(this)) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    closeButton_->move(6, 6);
    closeButton_->hide();
    connect(closeButton_, &QAbstractButton::clicked, this, [this] { pin_->closePin(); });
}

QPainterPath PinView::outline() const {
    const QRectF box(QPointF(0, 0), QSizeF(size()));
    // A pin smaller than its corners (a pixel-sized capture) stays visible.
    const double radius = std::min({cornerRadius, box.width() / 2, box.height() / 2});
    QPainterPath path;
    path.addRoundedRect(box, radius, radius);
    return path;
}

void PinView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scaled_ = QImage();
}

void PinView::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels = (QSizeF(size()) * ratio).toSize().expandedTo(QSize(1, 1));
    if (scaled_.size() != devicePixels) {
        // The window keeps the image's proportions, so filling it is fitting it.
        scaled_ = pin_->capture().image.scaled(devicePixels, Qt::IgnoreAspectRatio,
                                               Qt::SmoothTransformation);
        scaled_.setDevicePixelRatio(ratio);
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (pin_->isTranslucent()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setClipPath(outline());
        painter.drawImage(QPointF(0, 0), scaled_);
        painter.setClipping(false);
    } else {
        // The mask cuts the corners; a soft clip would darken their edge
        // pixels against the window's black.
        painter.drawImage(QPointF(0, 0), scaled_);
    }
    // Half a point wide, inside the outline.
    constexpr double border = 0.5;
    painter.setPen(QPen(QColor(255, 255, 255, 64), border));
    painter.setBrush(Qt::NoBrush);
    const QRectF box = QRectF(rect()).adjusted(border / 2, border / 2, -border / 2, -border / 2);
    const double radius =
        std::max(0.0, std::min({cornerRadius, box.width() / 2, box.height() / 2}));
    painter.drawRoundedRect(box, radius, radius);
}

bool PinView::event(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            pin_->zoomBy(pinGeometry::pinchFactor(gesture->value()));
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void PinView::enterEvent(QEnterEvent* event) {
    closeButton_->show();
    updateCursor(event->position().toPoint());
    QWidget::enterEvent(event);
}

void PinView::leaveEvent(QEvent* event) {
    closeButton_->hide();
    QWidget::leaveEvent(event);
}

Qt::Edges PinView::edgesAt(QPoint point) const {
    Qt::Edges edges;
    // A pin too small for grips is moved, never resized, by a press.
    if (width() < 4 * edgeGrip || height() < 4 * edgeGrip) {
        return edges;
    }
    if (point.x() < edgeGrip) {
        edges |= Qt::LeftEdge;
    } else if (point.x() >= width() - edgeGrip) {
        edges |= Qt::RightEdge;
    }
    if (point.y() < edgeGrip) {
        edges |= Qt::TopEdge;
    } else if (point.y() >= height() - edgeGrip) {
        edges |= Qt::BottomEdge;
    }
    return edges;
}

void PinView::updateCursor(QPoint point) {
    const Qt::Edges edges = edgesAt(point);
    const bool left = edges & Qt::LeftEdge, right = edges & Qt::RightEdge;
    const bool top = edges & Qt::TopEdge, bottom = edges & Qt::BottomEdge;
    if ((left && top) || (right && bottom)) {
        setCursor(Qt::SizeFDiagCursor);
    } else if ((right && top) || (left && bottom)) {
        setCursor(Qt::SizeBDiagCursor);
    } else if (left || right) {
        setCursor(Qt::SizeHorCursor);
    } else if (top || bottom) {
        setCursor(Qt::SizeVerCursor);
    } else {
        unsetCursor();
    }
}

void PinView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    QWindow* window = pin_->windowHandle();
    if (edges && window && window->startSystemResize(edges)) {
        return;
    }
    // A move starts only once the pointer travels, so that the second press
    // of a double-click still reaches us.
    pressGlobal_ = event->globalPosition().toPoint();
    pressWindowPos_ = pin_->pos();
    movingByHand_ = false;
}

void PinView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || !pressGlobal_) {
        updateCursor(event->position().toPoint());
        return;
    }
    const QPoint travel = event->globalPosition().toPoint() - *pressGlobal_;
    if (movingByHand_) {
        pin_->move(pressWindowPos_ + travel);
        return;
    }
    if (travel.manhattanLength() < QApplication::startDragDistance()) {
        return;
    }
    QWindow* window = pin_->windowHandle();
    if (window && window->startSystemMove()) {
        pressGlobal_.reset();
    } else {
        movingByHand_ = true;
        pin_->move(pressWindowPos_ + travel);
    }
}

void PinView::mouseReleaseEvent(QMouseEvent* event) {
    pressGlobal_.reset();
    movingByHand_ = false;
    QWidget::mouseReleaseEvent(event);
}

void PinView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    pressGlobal_.reset();
    pin_->editImage();
}

void PinView::wheelEvent(QWheelEvent* event) {
    pin_->zoomBy(pinGeometry::wheelFactor(event->pixelDelta(), event->angleDelta()));
    event->accept();
}

void PinView::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(pin_->makeContextMenu());
    menu->exec(event->globalPos());
}

} // namespace delivery
