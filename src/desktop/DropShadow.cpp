#include "desktop/DropShadow.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

namespace desktop {

namespace {

// Three box blurs in a row come within a few percent of a Gaussian; their
// widths follow from the deviation.
std::vector<int> boxRadii(double sigma) {
    constexpr int n = 3;
    const double ideal = std::sqrt(12 * sigma * sigma / n + 1);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0) {
        --lower;
    }
    lower = std::max(lower, 1);
    const int upper = lower + 2;
    const double m = std::round((12 * sigma * sigma - n * lower * lower - 4 * n * lower - 3 * n) /
                                (-4 * lower - 4));
    std::vector<int> radii;
    for (int i = 0; i < n; ++i) {
        radii.push_back(((i < m ? lower : upper) - 1) / 2);
    }
    return radii;
}

// One box pass along rows (stride 1) or columns (stride = width), edges
// treated as transparent.
void boxPass(const std::vector<float>& in, std::vector<float>& out, int width, int height,
             int radius, bool rows) {
    const int lines = rows ? height : width;
    const int length = rows ? width : height;
    const int step = rows ? 1 : width;
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int line = 0; line < lines; ++line) {
        const int base = rows ? line * width : line;
        float sum = 0;
        for (int i = 0; i <= std::min(radius, length - 1); ++i) {
            sum += in[static_cast<std::size_t>(base + i * step)];
        }
        for (int i = 0; i < length; ++i) {
            out[static_cast<std::size_t>(base + i * step)] = sum * scale;
            const int add = i + radius + 1;
            const int drop = i - radius;
            if (add < length) {
                sum += in[static_cast<std::size_t>(base + add * step)];
            }
            if (drop >= 0) {
                sum -= in[static_cast<std::size_t>(base + drop * step)];
            }
        }
    }
}

// Black with the blurred coverage of `coverage` (premultiplied ARGB) as alpha.
QImage blurredCoverage(const QImage& coverage, double sigma, double alpha) {
    const int w = coverage.width();
    const int h = coverage.height();
    std::vector<float> a(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(coverage.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            a[static_cast<std::size_t>(y * w + x)] = static_cast<float>(qAlpha(row[x]));
        }
    }
    std::vector<float> tmp(a.size());
    if (sigma > 0) {
        for (int radius : boxRadii(sigma)) {
            boxPass(a, tmp, w, h, radius, true);
            boxPass(tmp, a, w, h, radius, false);
        }
    }
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const float v = a[static_cast<std::size_t>(y * w + x)] * static_cast<float>(alpha);
            row[x] = qRgba(0, 0, 0, std::clamp(static_cast<int>(std::lround(v)), 0, 255));
        }
    }
    return out;
}

int reductionFor(double sigma) {
    return std::clamp(static_cast<int>(sigma / 3), 1, 8);
}

} // namespace

DropShadow dropShadow(const QImage& source, double sigma, double alpha) {
    const int reduction = reductionFor(sigma);
    const int margin = static_cast<int>(std::ceil(3 * sigma)) + reduction;
    const QSize full(source.width() + 2 * margin, source.height() + 2 * margin);
    const QSize reduced((full.width() + reduction - 1) / reduction,
                        (full.height() + reduction - 1) / reduction);
    QImage coverage(reduced, QImage::Format_ARGB32_Premultiplied);
    if (coverage.isNull()) {
        return {};
    }
    coverage.fill(Qt::transparent);
    {
        QPainter p(&coverage);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.scale(1.0 / reduction, 1.0 / reduction);
        p.drawImage(QPointF(margin, margin), source);
    }
    DropShadow shadow;
    shadow.image = blurredCoverage(coverage, sigma / reduction, alpha);
    shadow.target =
        QRectF(-margin, -margin, reduced.width() * reduction, reduced.height() * reduction);
    return shadow;
}

DropShadow shapeShadow(const QPainterPath& shape, qreal scale, double sigma, double alpha) {
    const QRectF bounds = shape.boundingRect();
    QImage coverage((QSizeF(bounds.right(), bounds.bottom()) * scale).toSize(),
                    QImage::Format_ARGB32_Premultiplied);
    if (coverage.isNull()) {
        return {};
    }
    coverage.fill(Qt::transparent);
    {
        QPainter p(&coverage);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        p.fillPath(shape, Qt::black);
    }
    return dropShadow(coverage, sigma * scale, alpha);
}

void drawShadow(QPainter& painter, const DropShadow& shadow, QPointF origin, qreal scale) {
    const QRectF& t = shadow.target;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(origin.x() + t.x() / scale, origin.y() + t.y() / scale,
                             t.width() / scale, t.height() / scale),
                      shadow.image);
    painter.restore();
}

const DropShadow& rectShadow(QSizeF size, QPointF fraction, double sigma, double alpha) {
    struct Entry {
        QSizeF size;
        QPointF fraction;
        double sigma;
        double alpha;
        DropShadow shadow;
    };
    static std::deque<Entry> kept;
    for (const Entry& e : kept) {
        if (e.size == size && e.fraction == fraction && e.sigma == sigma && e.alpha == alpha) {
            return e.shadow;
        }
    }
    // The rectangle drawn at a lower resolution straight away: nothing to
    // scale down first.
    const int reduction = reductionFor(sigma);
    const int margin = static_cast<int>(std::ceil(3 * sigma)) + reduction;
    const QSizeF full(std::ceil(size.width() + fraction.x()) + 2 * margin,
                      std::ceil(size.height() + fraction.y()) + 2 * margin);
    const QSize reduced(static_cast<int>(std::ceil(full.width() / reduction)),
                        static_cast<int>(std::ceil(full.height() / reduction)));
    QImage coverage(reduced, QImage::Format_ARGB32_Premultiplied);
    DropShadow shadow;
    if (!coverage.isNull()) {
        coverage.fill(Qt::transparent);
        {
            QPainter p(&coverage);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(1.0 / reduction, 1.0 / reduction);
            p.fillRect(QRectF(QPointF(margin + fraction.x(), margin + fraction.y()), size),
                       Qt::black);
        }
        shadow.image = blurredCoverage(coverage, sigma / reduction, alpha);
        shadow.target = QRectF(-margin - fraction.x(), -margin - fraction.y(),
                               reduced.width() * reduction, reduced.height() * reduction);
    }
    kept.push_front(Entry{size, fraction, sigma, alpha, std::move(shadow)});
    if (kept.size() > 4) {
        kept.pop_back();
    }
    return kept.front().shadow;
}

} // namespace desktop
