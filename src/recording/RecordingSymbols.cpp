#include "recording/RecordingSymbols.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace recording {

namespace {

// The glyphs are drawn on a 16 × 16 grid centred in the box.
class Grid {
public:
    Grid(QPainter& painter, const QRectF& box) : painter_(painter) {
        const double side = std::min(box.width(), box.height());
        painter_.save();
        painter_.translate(box.center().x() - side / 2, box.center().y() - side / 2);
        painter_.scale(side / 16, side / 16);
        painter_.setRenderHint(QPainter::Antialiasing);
    }
    ~Grid() { painter_.restore(); }

private:
    QPainter& painter_;
};

QPen line(const QColor& tint, double width = 1.5) {
    return QPen(tint, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void cursor(QPainter& p, const QColor& tint, QPointF at, double size) {
    const double s = size / 12;
    QPainterPath arrow;
    arrow.moveTo(at);
    arrow.lineTo(at + QPointF(0, 11 * s));
    arrow.lineTo(at + QPointF(3 * s, 8.3 * s));
    arrow.lineTo(at + QPointF(5.2 * s, 12 * s));
    arrow.lineTo(at + QPointF(6.8 * s, 11.2 * s));
    arrow.lineTo(at + QPointF(4.8 * s, 7.6 * s));
    arrow.lineTo(at + QPointF(8.4 * s, 7.6 * s));
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawPath(arrow);
}

void person(QPainter& p, const QColor& tint) {
    p.setPen(line(tint, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 8), 6.6, 6.6);
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawEllipse(QPointF(8, 6.4), 2.4, 2.4);
    QPainterPath shoulders;
    shoulders.moveTo(3.8, 12.6);
    shoulders.cubicTo(4.6, 9.6, 11.4, 9.6, 12.2, 12.6);
    shoulders.cubicTo(10, 14.6, 6, 14.6, 3.8, 12.6);
    p.drawPath(shoulders);
}

void gear(QPainter& p, const QColor& tint) {
    QPainterPath teeth;
    for (int i = 0; i < 8; ++i) {
        const double a = i * std::numbers::pi / 4;
        QTransform t;
        t.translate(8, 8);
        t.rotateRadians(a);
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.3, -7, 2.6, 3));
        teeth.addPath(t.map(tooth));
    }
    QPainterPath body;
    body.addEllipse(QPointF(8, 8), 5, 5);
    QPainterPath hole;
    hole.addEllipse(QPointF(8, 8), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawPath(teeth.united(body).subtracted(hole));
}

} // namespace

bool drawRecordingSymbol(QPainter& p, const QString& symbol, const QRectF& box,
                         const QColor& tint) {
    static const QStringList known = {"speaker.wave.2.fill",
                                      "mic.fill",
                                      "cursorarrow",
                                      "cursorarrow.click.2",
                                      "keyboard",
                                      "person.crop.circle",
                                      "eye.slash",
                                      "xmark",
                                      "record.circle.fill",
                                      "pause.fill",
                                      "play.fill",
                                      "arrow.counterclockwise",
                                      "trash",
                                      "stop.fill",
                                      "video.slash",
                                      "speaker.slash",
                                      "gear"};
    if (!known.contains(symbol)) {
        return false;
    }
    Grid grid(p, box);
    p.setBrush(Qt::NoBrush);
    if (symbol == u"speaker.wave.2.fill") {
        QPainterPath body;
        body.moveTo(1.5, 6);
        body.lineTo(4.2, 6);
        body.lineTo(7.8, 2.8);
        body.lineTo(7.8, 13.2);
        body.lineTo(4.2, 10);
        body.lineTo(1.5, 10);
        body.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawPath(body);
        p.setPen(line(tint, 1.3));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6.2, 5.2, 5.6, 5.6), -55 * 16, 110 * 16);
        p.drawArc(QRectF(4.6, 2.6, 10, 10.8), -55 * 16, 110 * 16);
    } else if (symbol == u"mic.fill") {
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawRoundedRect(QRectF(5.6, 1.2, 4.8, 8.6), 2.4, 2.4);
        p.setPen(line(tint, 1.3));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3.6, 3.4, 8.8, 8.4), 180 * 16, 180 * 16);
        p.drawLine(QPointF(8, 11.8), QPointF(8, 14.4));
        p.drawLine(QPointF(5.6, 14.6), QPointF(10.4, 14.6));
    } else if (symbol == u"cursorarrow") {
        cursor(p, tint, QPointF(4.5, 2), 12);
    } else if (symbol == u"cursorarrow.click.2") {
        cursor(p, tint, QPointF(6.5, 4.5), 10.5);
        p.setPen(line(tint, 1.2));
        p.drawLine(QPointF(4.6, 2.6), QPointF(3.2, 1.2));
        p.drawLine(QPointF(3.8, 5.2), QPointF(1.4, 5.2));
        p.drawLine(QPointF(7.2, 2.4), QPointF(7.2, 0.6));
        p.drawLine(QPointF(4.6, 7.8), QPointF(3, 9.2));
        p.drawLine(QPointF(9.8, 2.6), QPointF(11, 1.2));
    } else if (symbol == u"keyboard") {
        p.setPen(line(tint, 1.2));
        p.drawRoundedRect(QRectF(0.8, 3.6, 14.4, 9), 1.6, 1.6);
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        for (int row = 0; row < 2; ++row) {
            for (int col = 0; col < 5; ++col) {
                p.drawRect(QRectF(2.6 + col * 2.4, 5.4 + row * 2.2, 1.4, 1.3));
            }
        }
        p.drawRect(QRectF(4.6, 9.9, 6.8, 1.3));
    } else if (symbol == u"person.crop.circle") {
        person(p, tint);
    } else if (symbol == u"eye.slash") {
        p.setPen(line(tint, 1.3));
        QPainterPath eye;
        eye.moveTo(1, 8);
        eye.cubicTo(4, 3, 12, 3, 15, 8);
        eye.cubicTo(12, 13, 4, 13, 1, 8);
        p.drawPath(eye);
        p.setBrush(tint);
        p.drawEllipse(QPointF(8, 8), 1.9, 1.9);
        p.setPen(line(tint, 1.5));
        p.drawLine(QPointF(2.5, 2), QPointF(13.5, 14));
    } else if (symbol == u"xmark") {
        p.setPen(line(tint, 1.7));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    } else if (symbol == u"record.circle.fill") {
        QPainterPath ring;
        ring.addEllipse(QPointF(8, 8), 7, 7);
        QPainterPath inner;
        inner.addEllipse(QPointF(8, 8), 5.4, 5.4);
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawPath(ring.subtracted(inner));
        p.drawEllipse(QPointF(8, 8), 3.6, 3.6);
    } else if (symbol == u"pause.fill") {
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawRoundedRect(QRectF(3.6, 2.6, 3, 10.8), 0.8, 0.8);
        p.drawRoundedRect(QRectF(9.4, 2.6, 3, 10.8), 0.8, 0.8);
    } else if (symbol == u"play.fill") {
        QPainterPath play;
        play.moveTo(4.2, 2.4);
        play.lineTo(13.2, 8);
        play.lineTo(4.2, 13.6);
        play.closeSubpath();
        p.setPen(line(tint, 1));
        p.setBrush(tint);
        p.drawPath(play);
    } else if (symbol == u"arrow.counterclockwise") {
        p.setPen(line(tint, 1.5));
        p.drawArc(QRectF(2.4, 2.6, 11.2, 11.2), 150 * 16, -300 * 16);
        QPainterPath head;
        head.moveTo(0.6, 3.2);
        head.lineTo(5.4, 3.6);
        head.lineTo(2.4, 7.4);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawPath(head);
    } else if (symbol == u"trash") {
        p.setPen(line(tint, 1.3));
        p.drawLine(QPointF(2, 4), QPointF(14, 4));
        p.drawLine(QPointF(6, 4), QPointF(6.4, 2));
        p.drawLine(QPointF(6.4, 2), QPointF(9.6, 2));
        p.drawLine(QPointF(9.6, 2), QPointF(10, 4));
        QPainterPath can;
        can.moveTo(3.6, 4.4);
        can.lineTo(4.4, 14);
        can.lineTo(11.6, 14);
        can.lineTo(12.4, 4.4);
        p.drawPath(can);
        p.drawLine(QPointF(6.6, 6.6), QPointF(6.8, 11.6));
        p.drawLine(QPointF(9.4, 6.6), QPointF(9.2, 11.6));
    } else if (symbol == u"stop.fill") {
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.6, 1.6);
    } else if (symbol == u"video.slash") {
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawRoundedRect(QRectF(0.8, 4, 10, 8), 1.8, 1.8);
        QPainterPath lens;
        lens.moveTo(11.4, 7);
        lens.lineTo(15.2, 4.6);
        lens.lineTo(15.2, 11.4);
        lens.lineTo(11.4, 9);
        lens.closeSubpath();
        p.drawPath(lens);
        p.setPen(QPen(tint, 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(1.5, 1.5), QPointF(14.5, 14.5));
    } else if (symbol == u"speaker.slash") {
        QPainterPath body;
        body.moveTo(2.5, 6);
        body.lineTo(5.2, 6);
        body.lineTo(8.8, 2.8);
        body.lineTo(8.8, 13.2);
        body.lineTo(5.2, 10);
        body.lineTo(2.5, 10);
        body.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawPath(body);
        p.setPen(QPen(tint, 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(1.5, 1.5), QPointF(14.5, 14.5));
    } else if (symbol == u"gear") {
        gear(p, tint);
    }
    return true;
}

namespace {

class SymbolIconEngine final : public QIconEngine {
public:
    SymbolIconEngine(QString symbol, QColor tint) : symbol_(std::move(symbol)), tint_(tint) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        drawRecordingSymbol(*painter, symbol_, QRectF(rect), tint_);
    }
    QIconEngine* clone() const override { return new SymbolIconEngine(symbol_, tint_); }

private:
    QString symbol_;
    QColor tint_;
};

} // namespace

QIcon recordingSymbolIcon(const QString& symbol, const QColor& tint) {
    return QIcon(new SymbolIconEngine(symbol, tint));
}

} // namespace recording
