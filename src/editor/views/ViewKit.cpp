#include "editor/views/ViewKit.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

#include <cmath>

static void initEditorViewResources() {
    Q_INIT_RESOURCE(views);
}

namespace editor {

QString editorSymbol(const QString& name) {
    static const bool loaded = (initEditorViewResources(), true);
    Q_UNUSED(loaded);
    return QStringLiteral(":/vexlin/editor/%1.svg").arg(name);
}

QImage renderSymbol(const QString& path, const QSizeF& size, qreal dpr, const QColor& colour) {
    const QSize pixels(qMax(1, qRound(size.width() * dpr)), qMax(1, qRound(size.height() * dpr)));
    QImage image(pixels, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    if (renderer.isValid()) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    // Ink is how dark and how opaque each pixel is: a white cut-out inside a
    // black shape stays a hole in every colour.
    const QRgb tint = colour.rgb();
    const int tintAlpha = colour.alpha();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = row[x];
            const int ink = qAlpha(p) * (255 - qGray(p)) / 255;
            row[x] = qRgba(qRed(tint), qGreen(tint), qBlue(tint), ink * tintAlpha / 255);
        }
    }
    image.setDevicePixelRatio(dpr);
    return image;
}

void drawSymbol(QPainter& painter, const QString& path, const QRectF& box, const QSizeF& size,
                const QColor& colour) {
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1;
    const QImage image = renderSymbol(path, size, dpr, colour);
    const QRectF target(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2,
                        size.width(), size.height());
    painter.drawImage(target, image);
}

QIcon symbolIcon(const QString& path, const QSize& size, const QColor& colour) {
    QIcon icon;
    for (qreal dpr : {1.0, 2.0}) {
        icon.addPixmap(QPixmap::fromImage(renderSymbol(path, size, dpr, colour)));
    }
    return icon;
}

QColor withAlpha(QColor colour, qreal alpha) {
    colour.setAlphaF(static_cast<float>(colour.alphaF() * alpha));
    return colour;
}

QColor accentColor(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor secondaryText(const QPalette& palette) {
    return withAlpha(palette.color(QPalette::WindowText), 0.68);
}

QColor tertiaryText(const QPalette& palette) {
    return withAlpha(palette.color(QPalette::WindowText), 0.5);
}

QFont scaledFont(const QFont& base, qreal factor, QFont::Weight weight) {
    QFont font = base;
    if (base.pointSizeF() > 0) {
        font.setPointSizeF(base.pointSizeF() * factor);
    } else {
        font.setPixelSize(qMax(1, qRound(base.pixelSize() * factor)));
    }
    font.setWeight(weight);
    return font;
}

void setOpacity(QWidget* widget, qreal opacity) {
    if (opacity >= 1) {
        widget->setGraphicsEffect(nullptr);
        return;
    }
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

qreal opacityOf(const QWidget* widget) {
    const auto* effect = qobject_cast<const QGraphicsOpacityEffect*>(widget->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

LineDivider::LineDivider(Qt::Orientation orientation, int length, int margin, QWidget* parent)
    : QWidget(parent), orientation_(orientation) {
    if (orientation == Qt::Vertical) {
        setFixedSize(2 * margin + 1, length);
    } else if (length > 0) {
        setFixedSize(length, 2 * margin + 1);
    } else {
        setFixedHeight(2 * margin + 1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
}

void LineDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!isEnabled()) {
        painter.setOpacity(0.35);
    }
    const QColor line = withAlpha(palette().color(QPalette::WindowText), 0.18);
    if (orientation_ == Qt::Vertical) {
        painter.fillRect(QRect(width() / 2, 0, 1, height()), line);
    } else {
        painter.fillRect(QRect(0, height() / 2, width(), 1), line);
    }
}

} // namespace editor
