#include "desktop/ShimmerView.h"

#include <QEasingCurve>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

#include <cmath>

namespace desktop {

namespace {

constexpr double sweepSeconds = 1.2;
constexpr double cycleSeconds = 2.8;
constexpr qreal cornerRadius = 10;

const QEasingCurve& sweepEasing() {
    static const QEasingCurve curve = [] {
        QEasingCurve c(QEasingCurve::BezierSpline);
        c.addCubicBezierSegment(QPointF(0.37, 0), QPointF(0.63, 1), QPointF(1, 1));
        return c;
    }();
    return curve;
}

QPointF lerp(QPointF a, QPointF b, qreal t) {
    return a + (b - a) * t;
}

} // namespace

ShimmerView::ShimmerView(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
    timer_->setInterval(1000 / 30);
    connect(timer_, &QTimer::timeout, this, [this] {
        const double phase = std::fmod(started_.elapsed() / 1000.0, cycleSeconds);
        // Repaint while the band travels, and once more as it leaves.
        if (phase < sweepSeconds + 0.1) {
            update();
        }
    });
}

QPainterPath ShimmerView::visibleShape(QSizeF size, const std::vector<QRectF>& occluders) {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(0, 0), size).adjusted(1, 1, -1, -1), cornerRadius,
                         cornerRadius);
    for (const QRectF& occluder : occluders) {
        QPainterPath covered;
        covered.addRoundedRect(occluder, cornerRadius, cornerRadius);
        shape = shape.subtracted(covered);
    }
    return shape;
}

std::pair<QPointF, QPointF> ShimmerView::gradientLine(double elapsed) {
    const double phase = elapsed < 0 ? 0 : std::fmod(elapsed, cycleSeconds);
    const qreal t = sweepEasing().valueForProgress(std::min(1.0, phase / sweepSeconds));
    return {lerp(QPointF(-0.6, -0.6), QPointF(0.6, 0.6), t),
            lerp(QPointF(0.4, 0.4), QPointF(1.6, 1.6), t)};
}

void ShimmerView::sweep(std::uint32_t window, const QRectF& rect,
                        const std::vector<QRectF>& occluders) {
    setGeometry(rect.toAlignedRect());
    shape_ = visibleShape(rect.size(), occluders);
    show();
    if (sweptWindow_ != window) {
        sweptWindow_ = window;
        started_.start();
        timer_->start();
    }
    update();
}

void ShimmerView::stop() {
    sweptWindow_.reset();
    timer_->stop();
    hide();
}

void ShimmerView::paintEvent(QPaintEvent*) {
    if (!sweptWindow_) {
        return;
    }
    const auto [start, end] = gradientLine(started_.elapsed() / 1000.0);
    const QSizeF size = this->size();
    QLinearGradient gradient(QPointF(start.x() * size.width(), start.y() * size.height()),
                             QPointF(end.x() * size.width(), end.y() * size.height()));
    gradient.setColorAt(0.4, QColor(255, 255, 255, 0));
    gradient.setColorAt(0.5, QColor(255, 255, 255, 96));
    gradient.setColorAt(0.6, QColor(255, 255, 255, 0));
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape_, gradient);
}

} // namespace desktop
