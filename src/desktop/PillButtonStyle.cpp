#include "desktop/PillButtonStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

#include <algorithm>

namespace desktop {

PillButtonStyle::PillButtonStyle(const QColor& color) : color_(color) {}

QFont PillButtonStyle::labelFont(const QWidget* widget) {
    QFont font = widget ? widget->font() : QApplication::font();
    font.setPixelSize(fontPixelSize);
    font.setWeight(QFont::DemiBold);
    return font;
}

PillButtonStyle* PillButtonStyle::apply(QAbstractButton* button, const QColor& color) {
    auto* style = new PillButtonStyle(color);
    style->setParent(button);
    button->setStyle(style);
    button->setFont(labelFont(button));
    button->setFixedHeight(height);
    return style;
}

void PillButtonStyle::drawControl(ControlElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButton || button == nullptr) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(button->rect).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool pressed = (button->state & State_Sunken) != 0;
    QColor fill = color_;
    fill.setAlphaF(fill.alphaF() * (pressed ? 0.75f : 1.0f));
    QPainterPath capsule;
    const double radius = frame.height() / 2;
    capsule.addRoundedRect(frame, radius, radius);
    painter->fillPath(capsule, fill);
    painter->setFont(labelFont(widget));
    painter->setPen(Qt::white);
    QRect label = button->rect.adjusted(margin, 0, -margin, 0);
    const QFontMetricsF metrics(painter->font());
    if (!button->icon.isNull()) {
        // Icon and label side by side, centred together.
        const int side = button->iconSize.height();
        const qreal wanted = side + iconSpacing + metrics.horizontalAdvance(button->text);
        const int left = label.left() + std::max(0, int((label.width() - wanted) / 2));
        const QRect icon(left, button->rect.top() + (button->rect.height() - side) / 2, side, side);
        button->icon.paint(painter, icon);
        label.setLeft(icon.right() + 1 + iconSpacing);
        label.setWidth(std::max(0, button->rect.right() - margin - label.left() + 1));
    }
    // The size hint counts the label in whole pixels; a label that overruns
    // that by a fraction still fits in the capsule's margin.
    const QString text = metrics.horizontalAdvance(button->text) <= label.width() + 1
                             ? button->text
                             : metrics.elidedText(button->text, Qt::ElideRight, label.width());
    painter->drawText(
        label, (button->icon.isNull() ? Qt::AlignCenter : Qt::AlignVCenter) | Qt::TextSingleLine,
        text);
    painter->restore();
}

QSize PillButtonStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                        const QSize& size, const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (type != CT_PushButton || button == nullptr) {
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
    const QFontMetrics metrics(labelFont(widget));
    const int icon = button->icon.isNull() ? 0 : button->iconSize.width() + iconSpacing;
    return {metrics.horizontalAdvance(button->text) + icon + 2 * margin, height};
}

} // namespace desktop
