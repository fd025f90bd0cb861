#include "editor/canvas/CanvasChrome.h"

#include "annotation/AnnotationGeometry.h"
#include "desktop/DigitFont.h"
#include "editor/canvas/CanvasShadow.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <map>

namespace editor::chrome {

using annotation::Point;
using annotation::Rect;

namespace {

constexpr double kDot = 9.0;

QRectF toQt(const Rect& r) {
    return QRectF(r.x(), r.y(), r.width(), r.height());
}
QPointF toQt(Point p) {
    return QPointF(p.x, p.y);
}

// The dot's shadow (blur 2, one point down, black at 40 %) is the same for
// every dot: made once per pixel density.
const DropShadow& dotShadow(double dpr) {
    static std::map<double, DropShadow> made;
    auto it = made.find(dpr);
    if (it != made.end()) {
        return it->second;
    }
    const int side = static_cast<int>(std::ceil(kDot * dpr));
    QImage mask(side, side, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QRectF(0, 0, kDot, kDot));
    }
    // A blur of 2 is a Gaussian of half that deviation.
    return made.emplace(dpr, dropShadow(mask, 1.0 * dpr, 0.4)).first->second;
}

} // namespace

QFont cropLabelFont() {
    QFont font;
    font.setPixelSize(11);
    font.setWeight(QFont::Medium);
    font.setStyleHint(QFont::SansSerif);
    // Digits of one width, so the label does not jitter while it changes.
    return desktop::withFixedWidthDigits(font);
}

void drawHandleDot(QPainter& painter, QPointF c, const QColor& accent) {
    const QRectF dot(c.x() - kDot / 2, c.y() - kDot / 2, kDot, kDot);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const DropShadow& shadow = dotShadow(dpr);
    const QRectF& t = shadow.target;
    painter.drawImage(
        QRectF(dot.x() + t.x() / dpr, dot.y() + 1 + t.y() / dpr, t.width() / dpr, t.height() / dpr),
        shadow.image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(dot);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(accent, 1.5));
    painter.drawEllipse(dot.adjusted(0.75, 0.75, -0.75, -0.75));
    painter.restore();
}

QString cropSizeText(const Rect& draft, double pixelsPerPoint) {
    const Rect r = draft.standardized();
    const auto whole = [pixelsPerPoint](double v) {
        return QString::number(static_cast<qint64>(annotation::roundHalfAway(v * pixelsPerPoint)));
    };
    return whole(r.width()) + QStringLiteral(" × ") + whole(r.height());
}

QRectF cropLabelRect(const Rect& v, QSizeF text) {
    QRectF label(v.midX() - text.width() / 2 - 7, v.minY() - text.height() - 14, text.width() + 14,
                 text.height() + 6);
    // No room above the draft: the label goes inside, under its top edge.
    if (label.y() < 4) {
        label.moveTop(v.minY() + 8);
    }
    return label;
}

void drawCropChrome(QPainter& painter, const Rect& draft, const CanvasGeometry& g,
                    const QColor& accent, double pixelsPerPoint) {
    const Rect v = g.toView(draft);
    const QRectF box = toQt(v);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath dimming;
    dimming.setFillRule(Qt::OddEvenFill);
    dimming.addRect(toQt(g.canvasRect()));
    dimming.addRect(box);
    painter.fillPath(dimming, QColor::fromRgbF(0, 0, 0, 0.5f));

    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.35f), 0.5));
    for (double third : {1.0 / 3, 2.0 / 3}) {
        const double x = v.minX() + v.width() * third;
        const double y = v.minY() + v.height() * third;
        const QLineF lines[] = {QLineF(x, v.minY(), x, v.maxY()), QLineF(v.minX(), y, v.maxX(), y)};
        painter.drawLines(lines, 2);
    }
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    painter.restore();

    const annotation::Annotation box8{
        QUuid(), annotation::Shape::area(annotation::ShapeKind::rectangle, draft),
        {},      0,
        false,   annotation::TextStyle::plain};
    for (const auto& [handle, at] : annotation::handles(box8)) {
        drawHandleDot(painter, toQt(g.toView(at)), accent);
    }

    const QString text = cropSizeText(draft, pixelsPerPoint);
    const QFont font = cropLabelFont();
    const QFontMetricsF metrics(font, painter.device());
    const QSizeF textSize(metrics.horizontalAdvance(text), metrics.height());
    const QRectF label = cropLabelRect(v, textSize);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0.08f, 0.08f, 0.08f, 0.85f));
    painter.drawRoundedRect(label, label.height() / 2, label.height() / 2);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(label.x() + 7, label.y() + 3 + metrics.ascent()), text);
    painter.restore();
}

void drawSelectionChrome(QPainter& painter, const annotation::Annotation& mark,
                         const CanvasGeometry& g, const QColor& accent) {
    const annotation::ShapeKind kind = mark.shape.kind();
    if (kind != annotation::ShapeKind::arrow && kind != annotation::ShapeKind::line) {
        const Rect outline = g.toView(annotation::bounds(mark)).outsetBy(4);
        if (!outline.isNull() && std::isfinite(outline.width()) &&
            std::isfinite(outline.height())) {
            painter.save();
            QPen pen(accent, 1);
            pen.setDashPattern({4, 3});
            pen.setDashOffset(0);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(toQt(outline));
            painter.restore();
        }
    }
    for (const auto& [handle, at] : annotation::handles(mark)) {
        drawHandleDot(painter, toQt(g.toView(at)), accent);
    }
}

} // namespace editor::chrome
