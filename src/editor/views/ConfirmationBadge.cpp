#include "editor/views/ConfirmationBadge.h"

#include "platform/MainThread.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace editor {

namespace {
constexpr qreal kPadX = 14;
constexpr qreal kPadY = 8;
constexpr qreal kTop = 14;
// Room for the shadow (radius 8, 3 points down) around the capsule.
constexpr qreal kShade = 11;
constexpr qreal kIconGap = 6;
} // namespace

ConfirmationBadge::ConfirmationBadge(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    QFont f = font();
    f.setPixelSize(13);
    f.setWeight(QFont::DemiBold);
    setFont(f);
    transition_.setDuration(200);
    transition_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&transition_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        presence_ = v.toReal();
        update();
    });
    connect(&transition_, &QVariantAnimation::finished, this, [this] {
        if (!id_) {
            hide();
        }
    });
    parent->installEventFilter(this);
    hide();
}

QSize ConfirmationBadge::sizeHint() const {
    const QFontMetricsF metrics(font());
    const qreal icon = metrics.height();
    const qreal w = kPadX * 2 + icon + kIconGap + metrics.horizontalAdvance(text_);
    const qreal h = kPadY * 2 + metrics.height();
    return QSizeF(w + 2 * kShade, h + 2 * kShade).toSize() + QSize(1, 1);
}

QRectF ConfirmationBadge::capsuleRect() const {
    return QRectF(rect()).adjusted(kShade, kShade - 3, -kShade, -kShade - 3);
}

void ConfirmationBadge::showConfirmation(const QUuid& id, const QString& text) {
    platform::assertMainThread();
    if (id_ == id && text_ == text) {
        return;
    }
    id_ = id;
    text_ = text;
    place();
    show();
    raise();
    transition_.stop();
    transition_.setStartValue(0.0);
    transition_.setEndValue(1.0);
    presence_ = 0;
    transition_.start();
    update();
}

void ConfirmationBadge::clearConfirmation() {
    platform::assertMainThread();
    if (!id_) {
        return;
    }
    id_.reset();
    transition_.stop();
    transition_.setStartValue(presence_);
    transition_.setEndValue(0.0);
    transition_.start();
}

void ConfirmationBadge::place() {
    const QSize size = sizeHint();
    const QWidget* host = parentWidget();
    const int x = (host->width() - size.width()) / 2;
    const int y = static_cast<int>(kTop - kShade + 3);
    setGeometry(QRect(QPoint(x, y), size));
}

bool ConfirmationBadge::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        place();
    }
    return QWidget::eventFilter(watched, event);
}

void ConfirmationBadge::paintEvent(QPaintEvent*) {
    if (text_.isEmpty() && presence_ <= 0) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(presence_);
    const QRectF capsule = capsuleRect();
    const QPointF centre = capsule.center();
    const qreal scale = 0.94 + 0.06 * presence_;
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);

    // A soft shadow: black at a quarter, spread over 8 points, 3 down.
    const qreal radius = capsule.height() / 2;
    painter.setPen(Qt::NoPen);
    for (int i = 6; i >= 1; --i) {
        const QRectF r = capsule.translated(0, 3).adjusted(-i, -i, i, i);
        painter.setBrush(QColor(0, 0, 0, 7));
        painter.drawRoundedRect(r, radius + i, radius + i);
    }
    QPainterPath shape;
    shape.addRoundedRect(capsule, radius, radius);
    painter.fillPath(shape, QColor(0, 0, 0, 184));
    painter.setPen(QPen(QColor(255, 255, 255, 38), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(capsule.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);

    const QFontMetricsF metrics(font());
    const qreal icon = metrics.height() * 0.92;
    const QRectF circle(capsule.left() + kPadX, capsule.center().y() - icon / 2, icon, icon);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(circle);
    QPainterPath tick;
    tick.moveTo(circle.left() + icon * 0.28, circle.top() + icon * 0.52);
    tick.lineTo(circle.left() + icon * 0.44, circle.top() + icon * 0.68);
    tick.lineTo(circle.left() + icon * 0.73, circle.top() + icon * 0.36);
    painter.setPen(
        QPen(QColor(60, 60, 60), icon * 0.13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tick);

    painter.setPen(Qt::white);
    painter.setFont(font());
    const QRectF textBox(circle.right() + kIconGap, capsule.top(),
                         capsule.right() - kPadX - circle.right() - kIconGap, capsule.height());
    painter.drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft, text_);
}

} // namespace editor
