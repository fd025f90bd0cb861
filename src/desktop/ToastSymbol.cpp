#include "desktop/ToastSymbol.h"

#include "app/ThemedSymbol.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace desktop {

namespace {

// Symbolic (single-colour) theme icons that draw the same idea as each
// symbol.
const QHash<QString, QStringList>& themeNames() {
    static const QHash<QString, QStringList> names{
        {QStringLiteral("checkmark.circle.fill"), {QStringLiteral("emblem-ok-symbolic")}},
        {QStringLiteral("link"), {QStringLiteral("insert-link-symbolic")}},
        {QStringLiteral("text.magnifyingglass"), {QStringLiteral("edit-find-symbolic")}},
        {QStringLiteral("qrcode"), {QStringLiteral("view-barcode-qr-symbolic")}},
        {QStringLiteral("macwindow"), {QStringLiteral("window-symbolic")}},
    };
    return names;
}

QPen line(const QColor& tint, qreal width) {
    return QPen(tint, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Each glyph is drawn in a unit square (the painter scaled to the side).
void checkmarkCircle(QPainter& p, const QColor& tint) {
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawEllipse(QRectF(0.04, 0.04, 0.92, 0.92));
    // The tick is cut out of the disc.
    QPainterPath tick;
    tick.moveTo(0.29, 0.52);
    tick.lineTo(0.44, 0.67);
    tick.lineTo(0.72, 0.36);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.strokePath(tick, line(Qt::black, 0.11));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void chainLink(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.09));
    p.setBrush(Qt::NoBrush);
    // Two oblong links along the rising diagonal, each end through the
    // other's hollow.
    for (const QPointF centre : {QPointF(0.373, 0.627), QPointF(0.627, 0.373)}) {
        p.save();
        p.translate(centre);
        p.rotate(-45);
        p.drawRoundedRect(QRectF(-0.3, -0.14, 0.6, 0.28), 0.14, 0.14);
        p.restore();
    }
}

void textViewfinder(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.09));
    constexpr qreal a = 0.08, b = 0.92, arm = 0.24;
    QPainterPath corners;
    corners.moveTo(a, a + arm);
    corners.lineTo(a, a);
    corners.lineTo(a + arm, a);
    corners.moveTo(b - arm, a);
    corners.lineTo(b, a);
    corners.lineTo(b, a + arm);
    corners.moveTo(b, b - arm);
    corners.lineTo(b, b);
    corners.lineTo(b - arm, b);
    corners.moveTo(a + arm, b);
    corners.lineTo(a, b);
    corners.lineTo(a, b - arm);
    p.strokePath(corners, p.pen());
    p.setPen(line(tint, 0.08));
    p.drawLine(QPointF(0.3, 0.37), QPointF(0.7, 0.37));
    p.drawLine(QPointF(0.3, 0.5), QPointF(0.7, 0.5));
    p.drawLine(QPointF(0.3, 0.63), QPointF(0.56, 0.63));
}

void textMagnifier(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.08));
    p.drawLine(QPointF(0.08, 0.14), QPointF(0.72, 0.14));
    p.drawLine(QPointF(0.08, 0.32), QPointF(0.4, 0.32));
    p.drawLine(QPointF(0.08, 0.5), QPointF(0.3, 0.5));
    p.drawLine(QPointF(0.08, 0.68), QPointF(0.26, 0.68));
    p.setPen(line(tint, 0.09));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(0.6, 0.58), 0.2, 0.2);
    p.setPen(line(tint, 0.12));
    p.drawLine(QPointF(0.75, 0.74), QPointF(0.9, 0.89));
}

void qrCode(QPainter& p, const QColor& tint) {
    // Three finder squares and a few modules in the fourth corner.
    for (const QPointF corner : {QPointF(0.06, 0.06), QPointF(0.58, 0.06), QPointF(0.06, 0.58)}) {
        p.setPen(QPen(tint, 0.08, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(corner + QPointF(0.04, 0.04), QSizeF(0.28, 0.28)));
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawRect(QRectF(corner + QPointF(0.12, 0.12), QSizeF(0.12, 0.12)));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    for (const QPointF module : {QPointF(0.6, 0.6), QPointF(0.82, 0.6), QPointF(0.71, 0.71),
                                 QPointF(0.6, 0.82), QPointF(0.82, 0.82)}) {
        p.drawRect(QRectF(module, QSizeF(0.12, 0.12)));
    }
}

void window(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.09));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.06, 0.14, 0.88, 0.72), 0.12, 0.12);
    p.drawLine(QPointF(0.06, 0.36), QPointF(0.94, 0.36));
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    for (const qreal x : {0.2, 0.31, 0.42}) {
        p.drawEllipse(QPointF(x, 0.25), 0.04, 0.04);
    }
}

} // namespace

bool drawToastGlyph(QPainter& painter, const QString& symbol, qreal side, const QColor& tint) {
    using Glyph = void (*)(QPainter&, const QColor&);
    static const QHash<QString, Glyph> glyphs{
        {QStringLiteral("checkmark.circle.fill"), checkmarkCircle},
        {QStringLiteral("link"), chainLink},
        {QStringLiteral("text.viewfinder"), textViewfinder},
        {QStringLiteral("text.magnifyingglass"), textMagnifier},
        {QStringLiteral("qrcode"), qrCode},
        {QStringLiteral("macwindow"), window},
    };
    const Glyph glyph = glyphs.value(symbol, nullptr);
    if (glyph == nullptr) {
        return false;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side, side);
    glyph(painter, tint);
    painter.restore();
    return true;
}

QPixmap toastSymbol(const QString& symbol, const QColor& tint, int side, qreal devicePixelRatio) {
    return app::themedSymbol(
        themeNames().value(symbol), tint, side, devicePixelRatio,
        [&](QPainter& painter) { return drawToastGlyph(painter, symbol, side, tint); });
}

} // namespace desktop
