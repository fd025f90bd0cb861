#include "annotation/Renderer.h"

#include "annotation/AnnotationGeometry.h"
#include "annotation/CanvasLayout.h"
#include "annotation/ImageFilters.h"
#include "annotation/ShapeTraits.h"
#include "annotation/TextMetrics.h"
#include "platform/ParallelFor.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <variant>

namespace annotation {

QString describe(RenderFailure failure) {
    switch (failure) {
    case RenderFailure::emptyCanvas:
        //: Error shown when an edited screenshot cannot be exported because it has no pixels
        return QCoreApplication::translate("Renderer", "The image is empty.");
    case RenderFailure::tooLarge:
        //: Error shown when an edited screenshot would be too large to export
        return QCoreApplication::translate("Renderer", "The image is too large to export.");
    case RenderFailure::outOfMemory:
        //: Error shown when there is not enough memory to export an edited screenshot
        return QCoreApplication::translate("Renderer",
                                           "There is not enough memory to export the image.");
    }
    return QString();
}

namespace renderer {

namespace {

QRectF toQt(const Rect& r) {
    return QRectF(r.x(), r.y(), r.width(), r.height());
}
QPointF toQt(Point p) {
    return QPointF(p.x, p.y);
}

// Output scale of the painter's transform: √|ad − bc|.
double outputScale(const QPainter& painter) {
    const QTransform& t = painter.transform();
    return std::sqrt(std::fabs(t.m11() * t.m22() - t.m12() * t.m21()));
}

bool isBright(const RGBA& colour) {
    return 0.299 * colour.red + 0.587 * colour.green + 0.114 * colour.blue > 0.62;
}

// What casts a shadow, when its shadow may be kept between draws: a mark, or
// the outline of an opaque framed picture.
using ShadowCaster = std::optional<std::variant<Annotation, RenderCache::FrameOutline>>;

// A drop shadow: black at `alpha` of the caster's coverage, blurred by `blur`
// (the blur radius in device pixels, a Gaussian of half that deviation) and
// moved down by `offset` device pixels. The caster draws into a layer that
// covers `userBounds` in the painter's user space. With a cache and a named
// caster, the blurred layer is kept and the next draw of the same caster at
// the same placement only lays it down again.
void castShadow(QPainter& painter, RenderCache* cache, const ShadowCaster& caster,
                const Rect& userBounds, double blur, double offset, double alpha,
                const std::function<void(QPainter&)>& draw) {
    const double sigma = blur / 2;
    const int margin = static_cast<int>(std::ceil(3 * sigma)) + 2;
    // The layer is laid out in the transform's own whole-pixel frame, so that
    // a shift by whole pixels finds the same layer.
    const QTransform& transform = painter.transform();
    const bool affine = transform.type() <= QTransform::TxShear;
    QPoint shift;
    RenderCache::Placement placement;
    QTransform local = transform;
    if (affine) {
        placement = RenderCache::Placement::of(transform, painter.device(),
                                               static_cast<int>(painter.renderHints()), &shift);
        local = placement.transform();
    }
    const QRect device =
        QRect(QPoint(0, 0), QSize(painter.device()->width(), painter.device()->height()))
            .translated(-shift);
    const QRect wanted = local.mapRect(toQt(userBounds)).toAlignedRect();
    const QRect area =
        wanted.adjusted(-margin, -margin, margin, margin)
            .intersected(device.adjusted(-margin, -margin - static_cast<int>(std::ceil(offset)),
                                         margin, margin));
    if (area.isEmpty()) {
        return;
    }
    // Shadows are soft: a blur of several pixels loses nothing when it is
    // made at a lower resolution and drawn back up smoothly.
    const int reduction = std::clamp(static_cast<int>(sigma / 4), 1, 8);
    const QSize reducedSize((area.width() + reduction - 1) / reduction,
                            (area.height() + reduction - 1) / reduction);

    std::optional<RenderCache::ShadowKey> key;
    const QImage* shadow = nullptr;
    if (cache && caster && affine) {
        key = RenderCache::ShadowKey{*caster, placement, area, blur, alpha};
        shadow = cache->shadow(*key);
    }
    QImage made;
    if (!shadow) {
        QImage layer(reducedSize, QImage::Format_ARGB32_Premultiplied);
        if (layer.isNull()) {
            return;
        }
        layer.fill(Qt::transparent);
        // Same density as the target, so that text sized for it casts its own
        // shape.
        layer.setDotsPerMeterX(
            static_cast<int>(std::lround(painter.device()->logicalDpiX() / 0.0254)));
        layer.setDotsPerMeterY(
            static_cast<int>(std::lround(painter.device()->logicalDpiY() / 0.0254)));
        {
            QPainter lp(&layer);
            lp.setRenderHints(painter.renderHints());
            QTransform t = local;
            t *= QTransform::fromTranslate(-area.x(), -area.y());
            t *= QTransform::fromScale(1.0 / reduction, 1.0 / reduction);
            lp.setTransform(t);
            draw(lp);
            // Keep the coverage only, in black at the shadow's opacity.
            lp.resetTransform();
            lp.setCompositionMode(QPainter::CompositionMode_SourceIn);
            lp.fillRect(layer.rect(), QColor::fromRgbF(0, 0, 0, static_cast<float>(alpha)));
        }
        made = imageFilters::gaussianBlur(std::move(layer), sigma / reduction);
        shadow = key && cache->hasRoomFor(made.sizeInBytes())
                     ? &cache->keepShadow(std::move(*key), std::move(made))
                     : &made;
    }
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(area.x() + shift.x(), area.y() + shift.y() + offset,
                             reducedSize.width() * reduction, reducedSize.height() * reduction),
                      *shadow);
    painter.restore();
}

QPainterPath roundedRect(const Rect& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(toQt(r), radius, radius);
    return path;
}

// Draws an image over a rectangle of user space. When that rectangle maps
// pixel for pixel onto the device at whole-pixel offsets, as the base image
// does in an export, the image is copied instead of resampled. With a cache,
// an image drawn smaller than it is (the base in the editor's view) is
// resampled once per view scale and then copied.
void drawImageOver(QPainter& painter, const QRectF& target, const QImage& image,
                   RenderCache* cache = nullptr) {
    const QTransform& t = painter.transform();
    if (t.type() <= QTransform::TxScale && !image.isNull()) {
        const double x = t.m11() * target.x() + t.dx();
        const double y = t.m22() * target.y() + t.dy();
        const double width = t.m11() * target.width();
        const double height = t.m22() * target.height();
        if (width == image.width() && height == image.height() && x == std::round(x) &&
            y == std::round(y)) {
            // Pixel for pixel whatever the image's device pixel ratio: a fresh
            // capture carries its screen's, which a point-placed draw would
            // apply a second time.
            painter.save();
            painter.resetTransform();
            painter.drawImage(QRectF(x, y, width, height), image, QRectF(image.rect()));
            painter.restore();
            return;
        }
        const bool shrinks =
            width > 0 && height > 0 && width <= image.width() && height <= image.height();
        if (cache && shrinks && painter.device()->devicePixelRatio() == 1) {
            QPoint shift;
            const RenderCache::Placement placement = RenderCache::Placement::of(
                t, painter.device(), static_cast<int>(painter.renderHints()), &shift);
            const QTransform local = placement.transform();
            const QRect area = local.mapRect(target).toAlignedRect();
            RenderCache::ResampledKey key{image.cacheKey(), target, placement, area};
            const QImage* picture = cache->resampled(key);
            QImage made;
            if (!picture) {
                made = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
                if (made.isNull()) {
                    painter.drawImage(target, image);
                    return;
                }
                made.fill(Qt::transparent);
                {
                    QPainter p(&made);
                    p.setRenderHints(painter.renderHints());
                    p.setTransform(local * QTransform::fromTranslate(-area.x(), -area.y()));
                    p.drawImage(target, image);
                }
                picture = cache->hasRoomFor(made.sizeInBytes())
                              ? &cache->keepResampled(std::move(key), std::move(made))
                              : &made;
            }
            painter.save();
            painter.resetTransform();
            painter.drawImage(area.topLeft() + shift, *picture);
            painter.restore();
            return;
        }
    }
    painter.drawImage(target, image);
}

// The label of a text mark.
struct LabelLayout {
    QFont font;
    Rect box;
    Point textOrigin;
    double lineHeight = 0;
    double ascent = 0;
    QStringList lines;
};

LabelLayout layoutLabel(const QPaintDevice* device, Point origin, const QString& string,
                        double size) {
    LabelLayout label;
    const double f = labelFontSize(size);
    const double px = labelPaddingX(f);
    const double py = labelPaddingY(f);
    label.font = textMetrics::labelFont(f, device);
    QString measured = string;
    if (measured.endsWith(QLatin1Char('\n'))) {
        measured += QLatin1Char(' ');
    }
    const QSizeF textSize = textMetrics::measure(measured, label.font, device);
    label.box = Rect(origin.x, origin.y, std::ceil(textSize.width()) + 2 * px,
                     std::ceil(textSize.height()) + 2 * py);
    label.textOrigin = Point{origin.x + px, origin.y + py};
    label.lineHeight = textMetrics::lineHeight(label.font, device);
    label.ascent = textMetrics::ascent(label.font, device);
    label.lines = string.split(QLatin1Char('\n'));
    return label;
}

void drawLines(QPainter& painter, const LabelLayout& label, const QColor& colour) {
    painter.setFont(label.font);
    painter.setPen(colour);
    for (qsizetype i = 0; i < label.lines.size(); ++i) {
        painter.drawText(
            QPointF(label.textOrigin.x,
                    label.textOrigin.y + static_cast<double>(i) * label.lineHeight + label.ascent),
            label.lines[i]);
    }
}

QColor contrastingInk(const RGBA& colour) {
    return isBright(colour) ? QColor(Qt::black) : QColor(Qt::white);
}

// A mark's figure as its traits lay it out: the path to paint, or the dot of
// a stroke of no length, or a label; and where its ink may reach.
struct Figure {
    QPainterPath path;
    std::optional<QPointF> dot; // a disc of the stroke's width
    std::optional<LabelLayout> label;
    Rect reach;
    bool isEmpty = true;
};

Figure figureOf(const Annotation& a, const ShapeTraits& traits, const QPaintDevice* device) {
    const Shape& shape = a.shape;
    const double s = a.size;
    Figure figure;
    // Where the ink may reach, for the size of the shadow's layer.
    figure.reach = bounds(a).outsetBy(s / 2 + 2);
    // A stroke of no length still shows its round caps, as a dot.
    auto dotOr = [&](Point at, bool noLength, QPainterPath path) {
        if (noLength && traits.cap == Qt::RoundCap) {
            figure.dot = toQt(at);
        } else {
            figure.path = std::move(path);
        }
        figure.isEmpty = false;
    };
    switch (traits.outline) {
    case Outline::none:
        break;
    case Outline::arrowHead:
        if (std::optional<QPainterPath> path =
                arrowPath(shape.segment()->start, shape.segment()->end, s)) {
            const QRectF box = path->boundingRect();
            figure.reach = Rect(box.x(), box.y(), box.width(), box.height()).outsetBy(s + 2);
            figure.path = std::move(*path);
            figure.isEmpty = false;
        }
        break;
    case Outline::segment: {
        const Segment& segment = *shape.segment();
        QPainterPath path(toQt(segment.start));
        path.lineTo(toQt(segment.end));
        dotOr(segment.start, segment.start == segment.end, std::move(path));
        break;
    }
    case Outline::roundedRect: {
        const Rect r = shape.area()->rect.standardized();
        figure.path = roundedRect(r, std::min({0.8 * s, r.width() / 2, r.height() / 2}));
        figure.isEmpty = false;
        break;
    }
    case Outline::ellipse:
        figure.path.addEllipse(toQt(shape.area()->rect.standardized()));
        figure.isEmpty = false;
        break;
    case Outline::labelBox: {
        const TextLabel& text = *shape.textLabel();
        if (text.string.isEmpty()) {
            break;
        }
        figure.label = layoutLabel(device, text.origin, text.string, s);
        figure.reach = figure.label->box.outsetBy(2);
        figure.path = roundedRect(
            figure.label->box, std::min(figure.label->box.height() / 2, 0.32 * labelFontSize(s)));
        figure.isEmpty = false;
        break;
    }
    case Outline::disc: {
        const double d = counterDiameter(s);
        const Point c = shape.counterBadge()->center;
        figure.path.addEllipse(QRectF(c.x - d / 2, c.y - d / 2, d, d));
        figure.isEmpty = false;
        break;
    }
    case Outline::smoothedStroke: {
        const std::vector<Point>& points = shape.stroke()->points;
        if (points.empty()) {
            break;
        }
        const bool noLength = std::all_of(points.begin(), points.end(),
                                          [&](const Point& p) { return p == points.front(); });
        dotOr(points.front(), noLength, smoothedPath(points));
        break;
    }
    }
    return figure;
}

// The counter's white ring and its number.
void drawCounterFace(QPainter& p, const CounterBadge& badge, double size, const QColor& ink) {
    const double d = counterDiameter(size);
    const Rect disc(badge.center.x - d / 2, badge.center.y - d / 2, d, d);
    p.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.9f), std::max(0.06 * d, 1.5)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(toQt(disc.insetBy(0.03 * d)));
    const QString number = QString::number(badge.number);
    const QFont font = textMetrics::labelFont((badge.number > 9 ? 0.46 : 0.55) * d, p.device());
    const QSizeF measured = textMetrics::measure(number, font, p.device());
    p.setFont(font);
    p.setPen(ink);
    p.drawText(
        QPointF(badge.center.x - measured.width() / 2,
                badge.center.y - measured.height() / 2 + textMetrics::ascent(font, p.device())),
        number);
}

// Draws one mark as its traits say: the figure painted with the mark's ink
// (casting the mark's shadow), then the letters and rings that sit on top of
// it without one.
void drawMark(QPainter& painter, const Annotation& a, RenderCache* cache) {
    const ShapeTraits& traits = traitsOf(a);
    const Figure figure = figureOf(a, traits, painter.device());
    if (figure.isEmpty) {
        return;
    }
    QColor colour = a.color.toColor();
    if (traits.ink == Ink::highlight) {
        colour.setAlphaF(0.42f);
    }
    // A plain label is its text alone; a filled one is a box with the text
    // on top.
    const bool plainLabel = traits.lettering == Lettering::label && a.textStyle == TextStyle::plain;
    const Paint paint = plainLabel ? Paint::none : traits.paint;
    const double strokeWidth = traits.strokeWidth(a.size);

    auto body = [&](QPainter& p) {
        if (traits.ink == Ink::highlight) {
            p.setCompositionMode(QPainter::CompositionMode_Multiply);
        }
        if (figure.dot) {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(*figure.dot, strokeWidth / 2, strokeWidth / 2);
        } else if (paint != Paint::none) {
            const bool strokes = paint == Paint::stroke || paint == Paint::fillAndStroke;
            const bool fills = paint == Paint::fill || paint == Paint::fillAndStroke;
            p.setPen(strokes ? QPen(colour, strokeWidth, Qt::SolidLine, traits.cap, Qt::RoundJoin)
                             : QPen(Qt::NoPen));
            p.setBrush(fills ? QBrush(colour) : QBrush(Qt::NoBrush));
            p.drawPath(figure.path);
        }
        if (plainLabel) {
            drawLines(p, *figure.label, colour);
        }
    };

    painter.save();
    if (traits.castsShadow && a.shadow) {
        const double k = outputScale(painter);
        castShadow(painter, cache, a, figure.reach, 3 * k, k, 0.35, body);
    }
    body(painter);
    switch (traits.lettering) {
    case Lettering::label:
        if (!plainLabel) {
            drawLines(painter, *figure.label, contrastingInk(a.color));
        }
        break;
    case Lettering::number:
        drawCounterFace(painter, *a.shape.counterBadge(), a.size, contrastingInk(a.color));
        break;
    case Lettering::none:
        break;
    }
    painter.restore();
}

void drawSpotlight(QPainter& painter, const std::vector<Rect>& holes, const Rect& imageRect) {
    QPainterPath dimming;
    dimming.addRect(toQt(imageRect));
    for (const Rect& hole : holes) {
        if (hole.width() > 0 && hole.height() > 0) {
            dimming = dimming.subtracted(
                roundedRect(hole, std::min({10.0, hole.width() / 2, hole.height() / 2})));
        }
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.55f));
    painter.drawPath(dimming);
    painter.restore();
}

} // namespace

std::optional<QPainterPath> arrowPath(Point from, Point to, double w) {
    const Point delta = to - from;
    const double length = std::hypot(delta.x, delta.y);
    if (!(length > 1)) {
        return std::nullopt;
    }
    const Point u = delta * (1 / length);
    const Point n{-u.y, u.x};
    const double h = std::min(0.7 * length, std::max(4.4 * w, 13.0));
    const double t = std::max(0.2 * w, 0.7);
    const double m = 0.62 * w;
    const double g = 0.6 * h;
    const Point base = to - u * h;
    const Point neck = to - u * (0.84 * h);
    QPainterPath path;
    path.moveTo(toQt(from + n * t));
    path.lineTo(toQt(neck + n * m));
    path.lineTo(toQt(base + n * g));
    path.lineTo(toQt(to));
    path.lineTo(toQt(base - n * g));
    path.lineTo(toQt(neck - n * m));
    path.lineTo(toQt(from - n * t));
    path.closeSubpath();
    return path;
}

QPainterPath smoothedPath(const std::vector<Point>& points) {
    QPainterPath path;
    if (points.empty()) {
        return path;
    }
    path.moveTo(toQt(points[0]));
    const std::size_t k = points.size();
    if (k == 1) {
        path.lineTo(toQt(points[0]));
    } else if (k == 2) {
        path.lineTo(toQt(points[1]));
    } else {
        for (std::size_t i = 1; i + 1 < k; ++i) {
            const Point mid = (points[i] + points[i + 1]) * 0.5;
            path.quadTo(toQt(points[i]), toQt(mid));
        }
        path.lineTo(toQt(points[k - 1]));
    }
    return path;
}

void drawAnnotations(QPainter& painter, const EditorState& state, ImageSources& sources,
                     const std::optional<QUuid>& leaveOut) {
    RenderCache& cache = sources.cache();
    const RenderCache::Pass pass(cache);
    const Size size = sources.imageSize();
    const QRectF imageRect(0, 0, size.width, size.height);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    drawImageOver(painter, imageRect, sources.base(), &cache);
    painter.restore();

    for (const Annotation& a : state.annotations) {
        const ShapeKind kind = a.shape.kind();
        if (kind != ShapeKind::pixelate && kind != ShapeKind::blur) {
            continue;
        }
        const Rect r = a.shape.area()->rect.standardized();
        if (!(r.width() > 0 && r.height() > 0)) {
            continue;
        }
        // The copy's pixels under the region, with two more around it for
        // the smooth scaling of a view.
        const double scale = sources.scale();
        const QRect area =
            QRectF(r.x() * scale, r.y() * scale, r.width() * scale, r.height() * scale)
                .adjusted(-2, -2, 2, 2)
                .toAlignedRect();
        const QImage* copy =
            kind == ShapeKind::pixelate ? sources.pixelated(area) : sources.blurred(area);
        if (!copy) {
            continue;
        }
        painter.save();
        painter.setClipRect(toQt(r), Qt::IntersectClip);
        drawImageOver(painter, imageRect, *copy);
        painter.restore();
    }

    std::vector<Rect> spotlights;
    for (const Annotation& a : state.annotations) {
        if (a.shape.kind() == ShapeKind::spotlight) {
            spotlights.push_back(a.shape.area()->rect.standardized());
        }
    }
    if (!spotlights.empty()) {
        drawSpotlight(painter, spotlights, Rect(0, 0, size.width, size.height));
    }

    for (const Annotation& a : state.annotations) {
        if (leaveOut && a.id == *leaveOut) {
            continue;
        }
        drawMark(painter, a, &cache);
    }
}

std::optional<QImage> render(const EditorState& state, ImageSources& sources,
                             RenderFailure* failure) {
    auto fail = [&](RenderFailure why) -> std::optional<QImage> {
        if (failure) {
            *failure = why;
        }
        return std::nullopt;
    };
    const double scale = sources.scale();
    const CanvasLayout layout = CanvasLayout::make(state, sources.imageSize(), false);
    const double pixelWidth = roundHalfAway(scale * layout.canvasSize.width);
    const double pixelHeight = roundHalfAway(scale * layout.canvasSize.height);
    if (!(pixelWidth >= 1 && pixelHeight >= 1)) {
        return fail(RenderFailure::emptyCanvas);
    }
    if (!std::isfinite(pixelWidth * pixelHeight) ||
        pixelWidth * pixelHeight > static_cast<double>(kMaxRenderPixels)) {
        return fail(RenderFailure::tooLarge);
    }
    QImage output(static_cast<int>(pixelWidth), static_cast<int>(pixelHeight),
                  QImage::Format_ARGB32_Premultiplied);
    if (output.isNull()) {
        return fail(RenderFailure::outOfMemory);
    }
    const QColorSpace baseSpace = sources.base().colorSpace();
    // Every colour space this Qt reads is an RGB one.
    output.setColorSpace(baseSpace.isValid() ? baseSpace : QColorSpace(QColorSpace::SRgb));
    const int dotsPerMeter = static_cast<int>(std::lround(72 * scale / 0.0254));
    output.setDotsPerMeterX(dotsPerMeter);
    output.setDotsPerMeterY(dotsPerMeter);
    // Clearing a bitmap this size is mostly the kernel handing out its pages:
    // done in stripes on several threads, the pages come in side by side.
    {
        uchar* const bits = output.bits();
        const qsizetype stride = output.bytesPerLine();
        platform::parallelFor(output.height(),
                              [&](int begin, int end) {
                                  std::memset(bits + begin * stride, 0,
                                              static_cast<std::size_t>(end - begin) * stride);
                              },
                              {.minimumChunk = 256});
    }

    QPainter painter(&output);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    drawDocument(painter, state, sources, layout);
    painter.end();
    return output;
}

void drawDocument(QPainter& painter, const EditorState& state, ImageSources& sources,
                  const CanvasLayout& layout, const std::optional<QUuid>& leaveOut) {
    RenderCache& cache = sources.cache();
    const RenderCache::Pass pass(cache);
    const Rect frame = layout.imageFrame();
    const Rect canvas(0, 0, layout.canvasSize.width, layout.canvasSize.height);
    QPainterPath clip;
    double radius = 0;
    // The square inner part of an opaque image's frame, in whole points: the
    // image hides whatever lies under it there, so the background and the
    // frame's shadow are not drawn there.
    std::optional<QRegion> hidden;
    auto around = [&](const Rect& r) {
        return QRegion(QRect(QPoint(static_cast<int>(std::floor(r.minX())),
                                    static_cast<int>(std::floor(r.minY()))),
                             QPoint(static_cast<int>(std::ceil(r.maxX())) - 1,
                                    static_cast<int>(std::ceil(r.maxY())) - 1)))
            .subtracted(*hidden);
    };
    if (layout.background) {
        const BackgroundSettings& background = *layout.background;
        radius = std::max(
            std::min({background.cornerRadius, frame.width() / 2, frame.height() / 2}), 0.0);
        clip = roundedRect(frame, radius);
        if (sources.isOpaque()) {
            const Rect inner = frame.insetBy(radius + 1);
            if (!inner.isNull()) {
                hidden = QRegion(QRect(QPoint(static_cast<int>(std::ceil(inner.minX())),
                                              static_cast<int>(std::ceil(inner.minY()))),
                                       QPoint(static_cast<int>(std::floor(inner.maxX())) - 1,
                                              static_cast<int>(std::floor(inner.maxY())) - 1)));
            }
        }
        painter.save();
        if (hidden) {
            painter.setClipRegion(around(canvas), Qt::IntersectClip);
        }
        if (const BackgroundFill::Gradient* gradient = background.fill.asGradient()) {
            painter.fillRect(toQt(canvas),
                             GradientPreset::clamped(gradient->index).gradientOver(toQt(canvas)));
        } else {
            painter.fillRect(toQt(canvas), background.fill.asSolid()->toColor());
        }
        painter.restore();
    } else {
        clip.addRect(toQt(frame));
    }

    // The framed picture: the base image and its marks, clipped to the frame.
    const Point shift = frame.origin - layout.crop.origin;
    auto framed = [&](QPainter& p) {
        p.save();
        p.setClipPath(clip, Qt::IntersectClip);
        p.translate(shift.x, shift.y);
        drawAnnotations(p, state, sources, leaveOut);
        p.restore();
    };
    if (layout.background && layout.background->shadow) {
        // The shadow follows the framed picture as one piece (rounded frame,
        // transparent parts of the image and clipped marks), never the canvas.
        const double k = outputScale(painter);
        if (sources.isOpaque()) {
            // An opaque image covers its whole frame: the frame is the caster,
            // and only the shadow around the image can be seen.
            painter.save();
            if (hidden) {
                // Wherever the shadow may fall (its blur spreads it by 51
                // points and a few pixels, and it falls 12 points lower), but
                // under the image.
                painter.setClipRegion(around(frame.outsetBy(64 + 4 / std::max(k, 1e-3))),
                                      Qt::IntersectClip);
            }
            castShadow(painter, &cache, RenderCache::FrameOutline{frame, radius}, frame, 34 * k,
                       12 * k, 0.38, [&](QPainter& p) { p.fillPath(clip, Qt::black); });
            painter.restore();
        } else {
            castShadow(painter, &cache, std::nullopt, frame, 34 * k, 12 * k, 0.38, framed);
        }
    }
    framed(painter);
}

} // namespace renderer
} // namespace annotation
