#include "settings/SettingsSymbol.h"

#include "app/ThemedSymbol.h"
#include "app/WarningSymbol.h"
#include "desktop/ToastSymbol.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace settings {

namespace {

// Symbolic theme icons that draw the same idea as each symbol.
const QHash<QString, QStringList>& themeNames() {
    static const QHash<QString, QStringList> names{
        {QStringLiteral("gearshape"),
         {QStringLiteral("preferences-system-symbolic"), QStringLiteral("emblem-system-symbolic")}},
        {QStringLiteral("camera.viewfinder"), {QStringLiteral("camera-photo-symbolic")}},
        {QStringLiteral("keyboard"), {QStringLiteral("input-keyboard-symbolic")}},
        {QStringLiteral("record.circle"), {QStringLiteral("media-record-symbolic")}},
        {QStringLiteral("cursorarrow.click.2"), {QStringLiteral("input-mouse-symbolic")}},
        {QStringLiteral("info.circle"),
         {QStringLiteral("help-about-symbolic"), QStringLiteral("dialog-information-symbolic")}},
        {QStringLiteral("display"), {QStringLiteral("video-display-symbolic")}},
        {QStringLiteral("camera"),
         {QStringLiteral("camera-web-symbolic"), QStringLiteral("camera-video-symbolic")}},
        {QStringLiteral("mic"), {QStringLiteral("audio-input-microphone-symbolic")}},
        {QStringLiteral("cursorarrow.motionlines"), {QStringLiteral("input-mouse-symbolic")}},
        {QStringLiteral("pencil"), {QStringLiteral("document-edit-symbolic")}},
    };
    return names;
}

QPen line(const QColor& tint, qreal width) {
    return QPen(tint, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Each glyph is drawn in a unit square (the painter scaled to the side).
void gear(QPainter& p, const QColor& tint) {
    QPainterPath teeth;
    const QPointF c(0.5, 0.5);
    QPainterPath tooth;
    tooth.addRoundedRect(QRectF(-0.08, -0.46, 0.16, 0.2), 0.03, 0.03);
    for (int i = 0; i < 8; ++i) {
        teeth.addPath(QTransform().translate(c.x(), c.y()).rotate(i * 45.0).map(tooth));
    }
    QPainterPath ring;
    ring.addEllipse(c, 0.33, 0.33);
    QPainterPath hole;
    hole.addEllipse(c, 0.13, 0.13);
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawPath(teeth.united(ring).subtracted(hole));
}

void viewfinder(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.08));
    p.setBrush(Qt::NoBrush);
    constexpr qreal a = 0.08, b = 0.92, arm = 0.22;
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
    p.drawPath(corners);
    p.drawRoundedRect(QRectF(0.26, 0.36, 0.48, 0.34), 0.06, 0.06);
    p.drawEllipse(QPointF(0.5, 0.53), 0.08, 0.08);
}

void keyboard(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.07));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.05, 0.22, 0.9, 0.56), 0.1, 0.1);
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    for (int row = 0; row < 2; ++row) {
        for (int key = 0; key < 5; ++key) {
            p.drawRect(QRectF(0.17 + key * 0.14, 0.33 + row * 0.13, 0.08, 0.07));
        }
    }
    p.drawRoundedRect(QRectF(0.28, 0.6, 0.44, 0.07), 0.02, 0.02);
}

void stack(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.07));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.1, 0.36, 0.8, 0.54), 0.08, 0.08);
    p.drawLine(QPointF(0.18, 0.24), QPointF(0.82, 0.24));
    p.drawLine(QPointF(0.26, 0.12), QPointF(0.74, 0.12));
}

void recordCircle(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.07));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(0.5, 0.5), 0.42, 0.42);
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawEllipse(QPointF(0.5, 0.5), 0.22, 0.22);
}

void pointerArrow(QPainter& p, const QColor& tint, QPointF tip, qreal size) {
    QPainterPath arrow;
    arrow.moveTo(tip);
    arrow.lineTo(tip + QPointF(0, 0.62 * size));
    arrow.lineTo(tip + QPointF(0.17 * size, 0.47 * size));
    arrow.lineTo(tip + QPointF(0.3 * size, 0.75 * size));
    arrow.lineTo(tip + QPointF(0.4 * size, 0.7 * size));
    arrow.lineTo(tip + QPointF(0.28 * size, 0.43 * size));
    arrow.lineTo(tip + QPointF(0.48 * size, 0.43 * size));
    arrow.closeSubpath();
    p.setPen(line(tint, 0.06));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrow);
}

void clickArrow(QPainter& p, const QColor& tint) {
    pointerArrow(p, tint, QPointF(0.38, 0.3), 0.9);
    p.setPen(line(tint, 0.07));
    p.drawLine(QPointF(0.3, 0.2), QPointF(0.22, 0.1));
    p.drawLine(QPointF(0.22, 0.33), QPointF(0.1, 0.3));
    p.drawLine(QPointF(0.44, 0.18), QPointF(0.48, 0.07));
}

void motionArrow(QPainter& p, const QColor& tint) {
    pointerArrow(p, tint, QPointF(0.42, 0.12), 1.0);
    p.setPen(line(tint, 0.07));
    p.drawLine(QPointF(0.08, 0.42), QPointF(0.28, 0.42));
    p.drawLine(QPointF(0.14, 0.58), QPointF(0.3, 0.58));
}

void raisedHand(QPainter& p, const QColor& tint) {
    QPainterPath hand;
    hand.addRoundedRect(QRectF(0.24, 0.44, 0.52, 0.48), 0.2, 0.2);
    const qreal tops[] = {0.16, 0.08, 0.1, 0.2};
    for (int i = 0; i < 4; ++i) {
        hand.addRoundedRect(QRectF(0.25 + i * 0.13, tops[i], 0.11, 0.5), 0.055, 0.055);
    }
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-0.055, -0.2, 0.11, 0.34), 0.055, 0.055);
    hand.addPath(QTransform().translate(0.22, 0.6).rotate(-35).map(thumb));
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawPath(hand.simplified());
}

void infoCircle(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.07));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(0.5, 0.5), 0.42, 0.42);
    p.setPen(line(tint, 0.09));
    p.drawLine(QPointF(0.5, 0.46), QPointF(0.5, 0.7));
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawEllipse(QPointF(0.5, 0.31), 0.055, 0.055);
}

void display(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.07));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.06, 0.14, 0.88, 0.56), 0.06, 0.06);
    p.drawLine(QPointF(0.5, 0.7), QPointF(0.5, 0.84));
    p.drawLine(QPointF(0.3, 0.86), QPointF(0.7, 0.86));
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawEllipse(QPointF(0.5, 0.42), 0.1, 0.1);
}

void camera(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.07));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.06, 0.26, 0.6, 0.48), 0.1, 0.1);
    QPainterPath lens;
    lens.moveTo(0.68, 0.44);
    lens.lineTo(0.94, 0.3);
    lens.lineTo(0.94, 0.7);
    lens.lineTo(0.68, 0.56);
    p.drawPath(lens);
}

void microphone(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.07));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.36, 0.06, 0.28, 0.5), 0.14, 0.14);
    QPainterPath cup;
    cup.moveTo(0.22, 0.4);
    cup.cubicTo(0.22, 0.76, 0.78, 0.76, 0.78, 0.4);
    p.drawPath(cup);
    p.drawLine(QPointF(0.5, 0.67), QPointF(0.5, 0.88));
    p.drawLine(QPointF(0.34, 0.9), QPointF(0.66, 0.9));
}

void dashedRectangle(QPainter& p, const QColor& tint) {
    QPen pen = line(tint, 0.07);
    pen.setCapStyle(Qt::FlatCap);
    pen.setDashPattern({1.6, 1.2});
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.1, 0.2, 0.8, 0.6));
}

void textFormat(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.08));
    // A capital A and a small a side by side.
    p.drawLine(QPointF(0.06, 0.82), QPointF(0.27, 0.18));
    p.drawLine(QPointF(0.27, 0.18), QPointF(0.48, 0.82));
    p.drawLine(QPointF(0.14, 0.6), QPointF(0.4, 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(0.72, 0.66), 0.14, 0.16);
    p.drawLine(QPointF(0.86, 0.46), QPointF(0.86, 0.82));
}

void pencil(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 0.07));
    p.setBrush(Qt::NoBrush);
    p.save();
    p.translate(0.5, 0.5);
    p.rotate(45);
    QPainterPath body;
    body.moveTo(-0.1, -0.42);
    body.lineTo(0.1, -0.42);
    body.lineTo(0.1, 0.26);
    body.lineTo(0, 0.44);
    body.lineTo(-0.1, 0.26);
    body.closeSubpath();
    p.drawPath(body);
    p.drawLine(QPointF(-0.1, -0.28), QPointF(0.1, -0.28));
    p.restore();
}

void lockShield(QPainter& p, const QColor& tint) {
    QPainterPath shield;
    shield.moveTo(0.5, 0.05);
    shield.cubicTo(0.62, 0.14, 0.76, 0.17, 0.88, 0.18);
    shield.cubicTo(0.88, 0.6, 0.74, 0.82, 0.5, 0.95);
    shield.cubicTo(0.26, 0.82, 0.12, 0.6, 0.12, 0.18);
    shield.cubicTo(0.24, 0.17, 0.38, 0.14, 0.5, 0.05);
    p.setPen(line(tint, 0.07));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shield);
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawRoundedRect(QRectF(0.37, 0.46, 0.26, 0.2), 0.03, 0.03);
    p.setPen(line(tint, 0.05));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(0.41, 0.33, 0.18, 0.24), 0, 180 * 16);
}

} // namespace

bool drawSettingsGlyph(QPainter& painter, const QString& symbol, qreal side, const QColor& tint) {
    using Glyph = void (*)(QPainter&, const QColor&);
    static const QHash<QString, Glyph> glyphs{
        {QStringLiteral("gearshape"), gear},
        {QStringLiteral("camera.viewfinder"), viewfinder},
        {QStringLiteral("keyboard"), keyboard},
        {QStringLiteral("rectangle.stack"), stack},
        {QStringLiteral("record.circle"), recordCircle},
        {QStringLiteral("cursorarrow.click.2"), clickArrow},
        {QStringLiteral("hand.raised"), raisedHand},
        {QStringLiteral("info.circle"), infoCircle},
        {QStringLiteral("display"), display},
        {QStringLiteral("camera"), camera},
        {QStringLiteral("mic"), microphone},
        {QStringLiteral("cursorarrow.motionlines"), motionArrow},
        {QStringLiteral("rectangle.dashed"), dashedRectangle},
        {QStringLiteral("textformat"), textFormat},
        {QStringLiteral("pencil"), pencil},
        {QStringLiteral("lock.shield"), lockShield},
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

QPixmap settingsSymbol(const QString& symbol, const QColor& tint, int side,
                       qreal devicePixelRatio) {
    if (symbol == QLatin1String("checkmark.circle.fill")) {
        return desktop::toastSymbol(symbol, tint, side, devicePixelRatio);
    }
    if (symbol == QLatin1String("exclamationmark.triangle.fill")) {
        return app::warningSymbol(tint, side, devicePixelRatio);
    }
    return app::themedSymbol(
        themeNames().value(symbol), tint, side, devicePixelRatio,
        [&](QPainter& painter) { return drawSettingsGlyph(painter, symbol, side, tint); });
}

} // namespace settings
