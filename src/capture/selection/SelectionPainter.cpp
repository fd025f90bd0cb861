#include "capture/selection/SelectionPainter.h"

#include "capture/selection/SelectionGeometry.h"
#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace capture {

namespace sel = selection;

namespace {

constexpr qreal cornerRadius = 10;

QColor withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

QPainterPath roundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void paintDimmedArea(QPainter& painter, const SelectionViewState& view) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRect(view.bounds());
    if (view.isDragging()) {
        path.addRect(view.selection());
    }
    painter.fillPath(path, selectionColors::dim());
}

// A radial fill about `center` clipped to `bars`.
void fillBars(QPainter& painter, const QPainterPath& bars, const QRadialGradient& gradient) {
    painter.save();
    painter.setClipPath(bars, Qt::IntersectClip);
    painter.fillRect(bars.boundingRect(), gradient);
    painter.restore();
}

QPainterPath crossBars(const QRectF& bounds, QPointF center, qreal thickness) {
    QPainterPath bars;
    bars.addRect(QRectF(bounds.left(), center.y() - thickness / 2, bounds.width(), thickness));
    bars.addRect(QRectF(center.x() - thickness / 2, bounds.top(), thickness, bounds.height()));
    bars.setFillRule(Qt::WindingFill);
    return bars;
}

QRadialGradient ringGradient(QPointF center, qreal radius, qreal peakAlpha) {
    QRadialGradient gradient(center, std::max<qreal>(1, radius));
    const QColor light(204, 232, 255);
    gradient.setColorAt(0, withAlpha(light, 0));
    gradient.setColorAt(0.72, withAlpha(light, 0));
    gradient.setColorAt(0.93, withAlpha(light, peakAlpha));
    gradient.setColorAt(1.0, withAlpha(light, 0));
    gradient.setSpread(QGradient::PadSpread);
    return gradient;
}

void paintCrosshair(QPainter& painter, const SelectionPaintState& state,
                    const SelectionViewState& view) {
    const QRectF bounds = view.bounds();
    const sel::CrosshairLines lines = sel::crosshairLines(*view.pointer, view.display.scale);
    const QPointF c = lines.center;

    QRadialGradient lineGradient(c, 1400);
    const QColor blue = selectionColors::selectionBlue();
    lineGradient.setColorAt(0, withAlpha(blue, 235 / 255.0));
    lineGradient.setColorAt(0.35, withAlpha(blue, 150 / 255.0));
    lineGradient.setColorAt(1.0, withAlpha(blue, 70 / 255.0));
    lineGradient.setSpread(QGradient::PadSpread);
    const QPainterPath thin = crossBars(bounds, c, lines.thickness);
    fillBars(painter, thin, lineGradient);

    if (!state.lightElapsed) {
        return;
    }
    const sel::Light light = sel::lightCurve(*state.lightElapsed);
    if (light.intensity <= 0) {
        return;
    }
    fillBars(painter, crossBars(bounds, c, 5),
             ringGradient(c, light.radius, light.intensity * 77 / 255.0));
    fillBars(painter, thin, ringGradient(c, light.radius, light.intensity));
}

void paintMagnifier(QPainter& painter, const SelectionPaintState& state,
                    const SelectionViewState& view) {
    const QPointF pointer = *view.pointer;
    const qreal scale = view.display.scale;
    const QRectF lens = sel::lensRect(pointer, view.bounds().size());
    const QPainterPath outline = roundedRect(lens, 14);

    // A soft shadow under the lens, 3 pt down.
    for (int i = 0; i < 5; ++i) {
        const qreal grow = 2.0 * (i + 1);
        painter.fillPath(
            roundedRect(lens.translated(0, 3).adjusted(-grow, -grow, grow, grow), 14 + grow),
            QColor(0, 0, 0, 20 - 3 * i));
    }
    painter.fillPath(outline, QColor::fromRgbF(0.1f, 0.1f, 0.1f));

    painter.save();
    painter.setClipPath(outline, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect source = sel::magnifierSource(pointer, scale);
    if (state.magnified && !state.magnified->image.isNull()) {
        const QRect part = source.intersected(state.magnified->pixels);
        if (!part.isEmpty()) {
            const QRect inImage = part.translated(-state.magnified->pixels.topLeft());
            const QRectF target(lens.left() + (part.left() - source.left()) * 8,
                                lens.top() + (part.top() - source.top()) * 8, part.width() * 8.0,
                                part.height() * 8.0);
            QImage pixels = state.magnified->image.copy(inImage);
            pixels.setDevicePixelRatio(1);
            painter.drawImage(target, pixels);
        }
    }
    painter.setPen(QPen(QColor(0, 0, 0, qRound(0.12 * 255)), 0.5));
    for (int i = 1; i < sel::magnifiedPixels; ++i) {
        const qreal x = lens.left() + 8 * i;
        const qreal y = lens.top() + 8 * i;
        painter.drawLine(QPointF(x, lens.top()), QPointF(x, lens.bottom()));
        painter.drawLine(QPointF(lens.left(), y), QPointF(lens.right(), y));
    }
    painter.setPen(QPen(QColor(255, 255, 255, qRound(0.95 * 255)), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(lens.topLeft() + QPointF(56, 56), QSizeF(8, 8)));
    painter.restore();

    painter.setPen(QPen(QColor(255, 255, 255, qRound(0.85 * 255)), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);

    const QString coordinates = QStringLiteral("%1, %2")
                                    .arg(static_cast<long long>(std::trunc(pointer.x())))
                                    .arg(static_cast<long long>(std::trunc(pointer.y())));
    drawLabel(painter, coordinates, false, QPointF(lens.center().x(), lens.bottom() + 14));
}

void paintAreaMode(QPainter& painter, const SelectionPaintState& state,
                   const SelectionViewState& view) {
    const SelectionMachine& machine = *state.machine;
    paintDimmedArea(painter, view);
    if (!view.isDragging()) {
        if (machine.isCrosshairShown(state.view)) {
            paintCrosshair(painter, state, view);
        }
    } else {
        const QRectF selection = view.selection();
        painter.setPen(QPen(selectionColors::selectionBlue(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(selection.adjusted(-0.5, -0.5, 0.5, 0.5));
        drawLabel(painter, sel::sizeText(selection), false,
                  sel::sizeLabelCenter(selection, view.bounds().height()));
    }
    if (machine.isMagnifierShown(state.view)) {
        paintMagnifier(painter, state, view);
    }
}

void paintWindowMode(QPainter& painter, const SelectionPaintState& state,
                     const SelectionViewState& view) {
    const SelectionMachine& machine = *state.machine;
    const QRectF bounds = view.bounds();
    const QColor fill = withAlpha(state.accent, 0.28);
    const QPen stroke(withAlpha(state.accent, 0.9), 2);

    if (const std::optional<desktop::WindowInfo>& window = machine.hoveredWindow()) {
        const QRectF r = desktop::ScreenGeometry::toLocal(view.display, QRectF(window->frame));
        const std::vector<QRectF> occluders = machine.occluders(state.view);
        const QPainterPath shape = roundedRect(r.adjusted(1, 1, -1, -1), cornerRadius);
        QPainterPath covered;
        for (const QRectF& occluder : occluders) {
            covered.addPath(roundedRect(occluder, cornerRadius));
        }
        covered = covered.simplified();
        const bool meets = r.intersects(bounds);

        // Everything but the window's visible part is dimmed; where windows in
        // front cover it, the dim goes over the highlight and its outline too.
        QPainterPath everything;
        everything.addRect(bounds);
        QPainterPath dimmed = meets ? everything.subtracted(shape) : everything;
        dimmed = dimmed.united(covered);
        painter.fillPath(dimmed, selectionColors::dim());
        if (meets) {
            painter.save();
            painter.setClipPath(everything.subtracted(covered), Qt::IntersectClip);
            painter.fillPath(shape, fill);
            painter.strokePath(shape, stroke);
            painter.restore();
            if (sel::windowHasLabel(r)) {
                const QPointF at = desktop::WindowList::placement(r, occluders);
                drawLabel(painter, sel::windowLabelText(*window), false, at);
            }
        }
    } else if (machine.hoveredDisplay() == view.display.displayID) {
        const QPainterPath shape = roundedRect(bounds.adjusted(1, 1, -1, -1), cornerRadius);
        painter.fillPath(shape, fill);
        painter.strokePath(shape, stroke);
    } else {
        painter.fillRect(bounds, selectionColors::dim());
    }
}

} // namespace

QColor selectionColors::dim() {
    return QColor(0, 0, 0, 80);
}

QColor selectionColors::selectionBlue() {
    return QColor(56, 152, 255);
}

std::optional<Magnified> readMagnifierPixels(const QImage& picture, QPointF pointer,
                                             const QRectF& bounds, qreal scale) {
    const QRectF region = sel::magnifierReadRegion(pointer, bounds);
    if (region.isEmpty() || picture.isNull()) {
        return std::nullopt;
    }
    const QRect pixels = QRect(qRound(scale * region.left()), qRound(scale * region.top()),
                               qRound(scale * region.width()), qRound(scale * region.height()))
                             .intersected(picture.rect());
    if (pixels.isEmpty()) {
        return std::nullopt;
    }
    return Magnified{picture.copy(pixels), pixels};
}

void drawLabel(QPainter& painter, const QString& text, bool large, QPointF center) {
    const QSizeF size = sel::textSize(text, large);
    const QRectF pill = sel::labelPill(size, center, large);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0.08f, 0.08f, 0.08f, 0.82f));
    painter.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
    painter.setFont(sel::labelFont(large));
    painter.setPen(Qt::white);
    const qreal padX = large ? 14 : 8;
    const qreal padY = large ? 7 : 4;
    painter.drawText(QRectF(pill.topLeft() + QPointF(padX, padY), size),
                     Qt::AlignLeft | Qt::AlignTop, text);
    painter.restore();
}

void paintSelection(QPainter& painter, const SelectionPaintState& state, const QRectF& exposed) {
    const SelectionMachine& machine = *state.machine;
    const SelectionViewState& view = machine.view(state.view);
    const qreal scale = view.display.scale;

    painter.save();
    if (state.frozen && !state.frozen->isNull()) {
        const QRect source =
            desktop::ScreenGeometry::localPixels(exposed, scale).intersected(state.frozen->rect());
        painter.drawImage(QRectF(QPointF(source.topLeft()) / scale, QSizeF(source.size()) / scale),
                          *state.frozen, source);
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(exposed, Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    painter.setRenderHint(QPainter::Antialiasing);

    if (machine.mode() == SelectionMode::area) {
        paintAreaMode(painter, state, view);
    } else {
        paintWindowMode(painter, state, view);
    }
    if (!machine.options().hint.isEmpty() && machine.hoveredDisplay() == view.display.displayID &&
        !view.isDragging()) {
        drawLabel(painter, machine.options().hint, true,
                  QPointF(view.bounds().center().x(), sel::hintCenterY));
    }
    painter.restore();
}

} // namespace capture
