#include "delivery/QuickAccessSymbol.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace delivery {

namespace {

// Each glyph is drawn in a unit square; strokes are in the same unit.
constexpr qreal stroke = 0.13;

QPen line(const QColor& tint, qreal width = stroke) {
    return QPen(tint, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void xmark(QPainter& p, const QColor& tint) {
    p.setPen(line(tint));
    p.drawLine(QPointF(0.2, 0.2), QPointF(0.8, 0.8));
    p.drawLine(QPointF(0.8, 0.2), QPointF(0.2, 0.8));
}

void pencil(QPainter& p, const QColor& tint) {
    // A pencil lying from the bottom left to the top right.
    p.save();
    p.translate(0.5, 0.5);
    p.rotate(-45);
    QPainterPath body;
    body.moveTo(-0.48, 0);
    body.lineTo(-0.3, -0.11);
    body.lineTo(0.36, -0.11);
    body.lineTo(0.36, 0.11);
    body.lineTo(-0.3, 0.11);
    body.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawPath(body);
    // The eraser, set apart by a gap.
    p.drawRoundedRect(QRectF(0.41, -0.11, 0.1, 0.22), 0.03, 0.03);
    p.restore();
}

void pin(QPainter& p, const QColor& tint) {
    p.save();
    p.translate(0.5, 0.5);
    p.rotate(35);
    QPainterPath head;
    head.addRoundedRect(QRectF(-0.17, -0.46, 0.34, 0.1), 0.04, 0.04);
    head.moveTo(-0.11, -0.37);
    head.lineTo(0.11, -0.37);
    head.lineTo(0.14, -0.05);
    head.lineTo(0.27, 0.07);
    head.lineTo(-0.27, 0.07);
    head.lineTo(-0.14, -0.05);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawPath(head);
    p.setPen(line(tint, 0.08));
    p.drawLine(QPointF(0, 0.08), QPointF(0, 0.48));
    p.restore();
}

void scissors(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(0.08, 0.6, 0.26, 0.26));
    p.drawEllipse(QRectF(0.08, 0.14, 0.26, 0.26));
    p.setPen(line(tint, 0.11));
    p.drawLine(QPointF(0.31, 0.66), QPointF(0.9, 0.22));
    p.drawLine(QPointF(0.31, 0.34), QPointF(0.9, 0.78));
}

void play(QPainter& p, const QColor& tint) {
    QPainterPath triangle;
    triangle.moveTo(0.26, 0.13);
    triangle.lineTo(0.86, 0.5);
    triangle.lineTo(0.26, 0.87);
    triangle.closeSubpath();
    p.setPen(line(tint, 0.06));
    p.setBrush(tint);
    p.drawPath(triangle);
}

// The open box of the share and save pictures.
void tray(QPainter& p, const QColor& tint) {
    QPainterPath box;
    box.moveTo(0.34, 0.42);
    box.lineTo(0.18, 0.42);
    box.lineTo(0.18, 0.92);
    box.lineTo(0.82, 0.92);
    box.lineTo(0.82, 0.42);
    box.lineTo(0.66, 0.42);
    p.setPen(line(tint, 0.09));
    p.setBrush(Qt::NoBrush);
    p.drawPath(box);
}

void shareArrow(QPainter& p, const QColor& tint) {
    tray(p, tint);
    p.setPen(line(tint, 0.09));
    p.drawLine(QPointF(0.5, 0.05), QPointF(0.5, 0.64));
    QPainterPath head;
    head.moveTo(0.33, 0.22);
    head.lineTo(0.5, 0.05);
    head.lineTo(0.67, 0.22);
    p.drawPath(head);
}

void saveArrow(QPainter& p, const QColor& tint) {
    tray(p, tint);
    p.setPen(line(tint, 0.09));
    p.drawLine(QPointF(0.5, 0.05), QPointF(0.5, 0.7));
    QPainterPath head;
    head.moveTo(0.33, 0.53);
    head.lineTo(0.5, 0.7);
    head.lineTo(0.67, 0.53);
    p.drawPath(head);
}

void videoCamera(QPainter& p, const QColor& tint) {
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawRoundedRect(QRectF(0.02, 0.24, 0.64, 0.52), 0.12, 0.12);
    QPainterPath lens;
    lens.moveTo(0.7, 0.43);
    lens.lineTo(0.98, 0.26);
    lens.lineTo(0.98, 0.74);
    lens.lineTo(0.7, 0.57);
    lens.closeSubpath();
    p.drawPath(lens);
}

} // namespace

bool drawQuickAccessSymbol(QPainter& painter, const QString& symbol, const QRectF& box,
                           const QColor& tint) {
    using Glyph = void (*)(QPainter&, const QColor&);
    static const QHash<QString, Glyph> glyphs{
        {QStringLiteral("xmark"), xmark},
        {QStringLiteral("pencil"), pencil},
        {QStringLiteral("pin.fill"), pin},
        {QStringLiteral("scissors"), scissors},
        {QStringLiteral("play.fill"), play},
        {QStringLiteral("square.and.arrow.up"), shareArrow},
        {QStringLiteral("square.and.arrow.down"), saveArrow},
        {QStringLiteral("video.fill"), videoCamera},
    };
    const Glyph glyph = glyphs.value(symbol, nullptr);
    if (glyph == nullptr) {
        return false;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width(), box.height());
    glyph(painter, tint);
    painter.restore();
    return true;
}

} // namespace delivery
