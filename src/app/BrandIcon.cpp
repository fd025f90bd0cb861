#include "app/BrandIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <optional>

namespace app {

namespace {

QSize squareIn(const QSize& size) {
    const int side = std::min(size.width(), size.height());
    return {side, side};
}

class BrandIconEngine : public QIconEngine {
public:
    explicit BrandIconEngine(QColor color, std::optional<QColor> outline = std::nullopt)
        : color_(color), outline_(outline) {}

    // Trays hand out rectangles that are rarely square (22 × 30 in a 32-pixel
    // panel): the mark keeps its proportions, centred in the largest square.
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        const QSize square = squareIn(rect.size());
        const QRect target(rect.x() + (rect.width() - square.width()) / 2,
                           rect.y() + (rect.height() - square.height()) / 2, square.width(),
                           square.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(target.topLeft());
        painter->scale(target.width() / BrandIcon::side, target.height() / BrandIcon::side);
        if (outline_) {
            BrandIcon::drawOutlined(*painter, color_, *outline_, BrandIcon::outlineWidth);
        } else {
            BrandIcon::draw(*painter, color_);
        }
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // QIcon asks in device pixels already: `size` is the logical size times
    // `scale`.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QImage image(squareIn(size), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            paint(&painter, image.rect(), mode, state);
        }
        QPixmap pixmap = QPixmap::fromImage(std::move(image));
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        return squareIn(size);
    }
    QIconEngine* clone() const override { return new BrandIconEngine(color_, outline_); }
    QString key() const override { return QStringLiteral("VexlinBrandIcon"); }

private:
    QColor color_;
    std::optional<QColor> outline_;
};

QPainterPath blockPath() {
    const QRectF r(0, 0, BrandIcon::side, BrandIcon::side);
    const qreal width = 0.42 * r.width();
    const qreal height = 0.31 * r.height();
    QPainterPath block;
    block.addRoundedRect(
        QRectF(r.center().x() - width / 2, r.center().y() - height / 2, width, height), 1.6, 1.6);
    return block;
}

// The four open corner brackets whose stroke centres lie on `q`.
QPainterPath cornerPath(const QRectF& q) {
    const qreal arm = 0.3 * q.width();
    const qreal radius = arm / 2;
    const qreal control = 0.45 * radius;

    struct Corner {
        qreal x, y, sx, sy;
    };
    const Corner corners[] = {
        {q.left(), q.top(), 1, 1},
        {q.right(), q.top(), -1, 1},
        {q.right(), q.bottom(), -1, -1},
        {q.left(), q.bottom(), 1, -1},
    };
    QPainterPath path;
    for (const Corner& c : corners) {
        path.moveTo(c.x, c.y + c.sy * arm);
        path.lineTo(c.x, c.y + c.sy * radius);
        path.cubicTo(c.x, c.y + c.sy * control, c.x + c.sx * control, c.y, c.x + c.sx * radius,
                     c.y);
        path.lineTo(c.x + c.sx * arm, c.y);
    }
    return path;
}

// The corner brackets' rectangle and stroke.
const QRectF kCornerRect =
    QRectF(0, 0, BrandIcon::side, BrandIcon::side).adjusted(1.0, 1.5, -1.0, -1.5);
constexpr qreal kCornerLine = 1.8;

} // namespace

QIcon BrandIcon::image(const QColor& tint) {
    return QIcon(new BrandIconEngine(tint));
}

QIcon BrandIcon::outlinedImage(const QColor& tint, const QColor& outline) {
    return QIcon(new BrandIconEngine(tint, outline));
}

void BrandIcon::drawCorners(QPainter& painter, const QRectF& rect, qreal lineWidth,
                            const QColor& color) {
    const qreal half = lineWidth / 2;
    QPen pen(color, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.strokePath(cornerPath(rect.adjusted(half, half, -half, -half)), pen);
}

void BrandIcon::draw(QPainter& painter, const QColor& color) {
    drawCorners(painter, kCornerRect, kCornerLine, color);
    painter.fillPath(blockPath(), color);
}

void BrandIcon::drawOutlined(QPainter& painter, const QColor& color, const QColor& outline,
                             qreal width) {
    // The ring is one opaque shape under the mark, so where two strokes' rings
    // overlap the outline does not darken twice. The brackets keep their
    // place: the wider stroke grows outwards from the same centre line.
    const qreal half = kCornerLine / 2;
    const QRectF q = kCornerRect.adjusted(half, half, -half, -half);
    QPainterPath outlineShape;
    {
        QPainterPathStroker wide;
        wide.setWidth(kCornerLine + 2 * width);
        wide.setCapStyle(Qt::RoundCap);
        wide.setJoinStyle(Qt::RoundJoin);
        outlineShape = wide.createStroke(cornerPath(q));
        QPainterPathStroker around;
        around.setWidth(2 * width);
        around.setJoinStyle(Qt::RoundJoin);
        outlineShape = outlineShape.united(around.createStroke(blockPath()).united(blockPath()));
    }
    painter.fillPath(outlineShape, outline);
    draw(painter, color);
}

QImage BrandIcon::render(int pixels, const QColor& color) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(pixels / side, pixels / side);
    draw(painter, color);
    return image;
}

QIcon BrandIcon::applicationIcon() {
    // X11 hands a window manager bitmaps only, so the sizes are made here.
    QIcon icon;
    for (const int pixels : {16, 22, 24, 32, 48, 64, 96, 128, 192, 256, 512}) {
        icon.addPixmap(QPixmap::fromImage(render(pixels, QColor(0x30, 0x8c, 0xc6))));
    }
    return icon;
}

} // namespace app
