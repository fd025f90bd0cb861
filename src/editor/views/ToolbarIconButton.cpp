#include "editor/views/ToolbarIconButton.h"

#include "editor/views/ViewKit.h"

#include <QPainter>

namespace editor {

ToolbarIconButton::ToolbarIconButton(const QString& symbol, qreal symbolSize, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), symbolSize_(symbolSize) {
    setFixedSize(width, height);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void ToolbarIconButton::setSelected(bool selected) {
    if (selected == selected_) {
        return;
    }
    selected_ = selected;
    update();
}

void ToolbarIconButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if (!isEnabled()) {
        painter.setOpacity(0.35);
    }
    const QRectF box = rect();
    QColor fill = Qt::transparent;
    if (selected_) {
        fill = accentColor(pal);
        if (isDown()) {
            fill = fill.darker(115);
        }
    } else if (isEnabled() && isDown()) {
        fill = withAlpha(pal.color(QPalette::WindowText), 0.16);
    } else if (isEnabled() && underMouse()) {
        fill = withAlpha(pal.color(QPalette::WindowText), 0.08);
    }
    if (fill.alpha() > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(box, 7, 7);
    }
    const QColor ink = selected_ ? QColor(Qt::white) : pal.color(QPalette::WindowText);
    // The symbols are drawn in a square a little larger than their nominal
    // size, the way a glyph of that size overhangs its em box.
    const qreal side = symbolSize_ * 1.2;
    drawSymbol(painter, symbol_, box, QSizeF(side, side), ink);
}

} // namespace editor
