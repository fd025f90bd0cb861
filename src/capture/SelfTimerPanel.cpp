#include "capture/SelfTimerPanel.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace capture {

namespace {

constexpr qreal kCornerRadius = 22;

} // namespace

SelfTimerPanel::SelfTimerPanel(int remaining, desktop::PanelSurface::Kind kind)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint)
    , surface_(new desktop::PanelSurface(
          this, [this] { return shape(); }, kind))
    , remaining_(remaining)
    , previous_(remaining) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // It never becomes active, and Qt shows tooltips in the active window only.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFocusPolicy(Qt::NoFocus);
    //: Tooltip of the self-timer countdown
    setToolTip(QCoreApplication::translate("SelfTimer", "Click to cancel"));
    change_.setDuration(250);
    change_.setEasingCurve(QEasingCurve::OutCubic);
    change_.setStartValue(0.0);
    change_.setEndValue(1.0);
    connect(&change_, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

void SelfTimerPanel::setRemaining(int remaining) {
    if (remaining == remaining_) {
        return;
    }
    previous_ = remaining_;
    remaining_ = remaining;
    change_.stop();
    change_.start();
    update();
}

QPainterPath SelfTimerPanel::shape() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    return path;
}

void SelfTimerPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath square = shape();
    if (surface_->isTranslucent()) {
        // A dark material under black at 45 %, as the panel is always dark.
        painter.fillPath(square, QColor(40, 40, 42, 215));
        painter.fillPath(square, QColor(0, 0, 0, 115));
    } else {
        // Cut to the square: all of what is left is the panel's own, opaque,
        // the two layers as they look over a dark screen.
        painter.fillRect(rect(), QColor(22, 22, 23));
    }
    QPainterPath border;
    border.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5,
                          kCornerRadius - 0.5);
    painter.strokePath(border, QPen(QColor(255, 255, 255, 31), 1.0));

    QFont font = painter.font();
    font.setPixelSize(50);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);

    // The new number rises into place while the old one leaves upwards.
    const qreal progress =
        change_.state() == QAbstractAnimation::Running ? change_.currentValue().toReal() : 1.0;
    const qreal travel = height() * 0.35;
    const QRectF box(rect());
    if (progress < 1.0) {
        painter.setOpacity(1.0 - progress);
        painter.setPen(Qt::white);
        painter.drawText(box.translated(0, -travel * progress), Qt::AlignCenter,
                         QString::number(previous_));
    }
    painter.setOpacity(progress);
    painter.setPen(Qt::white);
    painter.drawText(box.translated(0, travel * (1.0 - progress)), Qt::AlignCenter,
                     QString::number(remaining_));
}

void SelfTimerPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && shape().contains(event->position())) {
        event->accept();
        if (onCancel) {
            onCancel();
        }
        return;
    }
    QWidget::mousePressEvent(event);
}

} // namespace capture
