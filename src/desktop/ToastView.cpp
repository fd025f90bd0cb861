#include "desktop/ToastView.h"

#include "desktop/ToastSymbol.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace desktop {

ToastView::ToastView(const QString& title, const std::optional<QString>& detail,
                     const QString& symbol, const QColor& tint, bool translucent, QWidget* parent)
    : QWidget(parent)
    , title_(title)
    , symbolName_(symbol)
    , tint_(tint)
    , translucent_(translucent)
    , layout_(ToastLayout::make(title, detail)) {
    setAttribute(Qt::WA_TranslucentBackground);
    if (translucent_) {
        // Black at 25 %, blurred by 10 and 4 points down, inside the outer padding.
        auto* shadow = new QGraphicsDropShadowEffect(this);
        shadow->setColor(QColor(0, 0, 0, 64));
        shadow->setBlurRadius(10);
        shadow->setOffset(0, 4);
        setGraphicsEffect(shadow);
    }
    setFixedSize(sizeHint());
}

QSize ToastView::sizeHint() const {
    return layout_.size.toSize();
}

QPainterPath ToastView::outline() const {
    const QRectF capsule = layout_.capsule;
    const qreal radius = capsule.height() / 2;
    QPainterPath shape;
    shape.addRoundedRect(capsule, radius, radius);
    return shape;
}

void ToastView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF capsule = layout_.capsule;
    const qreal radius = capsule.height() / 2;
    QColor material = palette().color(QPalette::Window);
    if (translucent_) {
        material.setAlpha(235);
        painter.fillPath(outline(), material);
    } else {
        // The window is cut to the capsule: every pixel left is the
        // material's, so the cut edge shows no fringe.
        painter.fillRect(rect(), material);
    }
    QPainterPath border;
    border.addRoundedRect(capsule.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    painter.strokePath(border, QPen(QColor(255, 255, 255, 31), 1.0));

    // Drawn pixel for pixel on the screen's grid.
    const qreal ratio = devicePixelRatioF();
    if (symbol_.isNull() || symbol_.devicePixelRatio() != ratio) {
        symbol_ = toastSymbol(symbolName_, tint_, static_cast<int>(ToastLayout::symbolSide), ratio);
    }
    const QPointF corner(std::round(layout_.symbol.left() * ratio) / ratio,
                         std::round(layout_.symbol.top() * ratio) / ratio);
    painter.drawPixmap(corner, symbol_);

    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(layout_.titleFont);
    painter.drawText(layout_.title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title_);

    if (!layout_.detailLines.isEmpty()) {
        QColor secondary = palette().color(QPalette::WindowText);
        secondary.setAlphaF(0.6f);
        painter.setPen(secondary);
        painter.setFont(layout_.detailFont);
        painter.drawText(layout_.detail, Qt::AlignLeft | Qt::AlignTop,
                         layout_.detailLines.join(u'\n'));
    }
}

} // namespace desktop
