#include "videoeditor/TrimBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace videoeditor {

namespace {
constexpr double handleWidth = 10;
// The shortest part trimming keeps.
constexpr double minimumLength = 0.1;
} // namespace

TrimTimeline::TrimTimeline(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("trimTimeline"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(28);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    //: Accessible name of the video editor's trimming timeline
    setAccessibleName(tr("Trim range"));
}

void TrimTimeline::setRange(double duration, double start, double end) {
    duration_ = std::max(duration, 0.0);
    start_ = std::clamp(start, 0.0, duration_);
    end_ = std::clamp(end, start_, duration_);
    update();
}

QRectF TrimTimeline::track() const {
    return QRectF(handleWidth, 4, std::max(1.0, width() - 2 * handleWidth), height() - 8);
}

double TrimTimeline::xFor(double seconds) const {
    const QRectF t = track();
    return duration_ > 0 ? t.left() + t.width() * seconds / duration_ : t.left();
}

double TrimTimeline::secondsAt(double x) const {
    const QRectF t = track();
    return std::clamp((x - t.left()) / t.width(), 0.0, 1.0) * duration_;
}

QRectF TrimTimeline::handleRect(bool startHandle) const {
    const QRectF t = track();
    return startHandle ? QRectF(xFor(start_) - handleWidth, t.top(), handleWidth, t.height())
                       : QRectF(xFor(end_), t.top(), handleWidth, t.height());
}

void TrimTimeline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF t = track();
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Mid));
    painter.drawRoundedRect(t, 3, 3);
    // The kept part, framed by the two handles.
    const QColor accent(255, 196, 0);
    const QRectF kept(QPointF(xFor(start_), t.top()), QPointF(xFor(end_), t.bottom()));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRect(kept);
    painter.setPen(QPen(accent, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(kept.adjusted(0, 1, 0, -1));
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    for (const bool startHandle : {true, false}) {
        const QRectF handle = handleRect(startHandle);
        painter.drawRoundedRect(handle, 2, 2);
        painter.setPen(QPen(QColor(90, 60, 0), 1.5));
        const double x = handle.center().x();
        painter.drawLine(QPointF(x, handle.top() + 6), QPointF(x, handle.bottom() - 6));
        painter.setPen(Qt::NoPen);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(handleRect(!keyboardEnd_).adjusted(-1, -1, 1, 1), 2, 2);
    }
}

void TrimTimeline::moveHandle(bool startHandle, double seconds) {
    const double gap = std::min(minimumLength, duration_);
    if (startHandle) {
        start_ = std::clamp(seconds, 0.0, std::max(0.0, end_ - gap));
    } else {
        end_ = std::clamp(seconds, std::min(duration_, start_ + gap), duration_);
    }
    update();
    Q_EMIT handleMoved(startHandle ? start_ : end_);
}

void TrimTimeline::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    // The nearer handle takes the press; a press on a handle never moves it.
    const double toStart = std::abs(at.x() - handleRect(true).center().x());
    const double toEnd = std::abs(at.x() - handleRect(false).center().x());
    dragging_ = toStart <= toEnd ? Handle::start : Handle::end;
    keyboardEnd_ = dragging_ == Handle::end;
    if (!handleRect(dragging_ == Handle::start).adjusted(-4, -4, 4, 4).contains(at)) {
        moveHandle(dragging_ == Handle::start, secondsAt(at.x()));
    }
}

void TrimTimeline::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ == Handle::none) {
        return;
    }
    const bool startHandle = dragging_ == Handle::start;
    // The handle's inner edge follows the pointer.
    moveHandle(startHandle, secondsAt(event->position().x()));
}

void TrimTimeline::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = Handle::none;
}

void TrimTimeline::keyPressEvent(QKeyEvent* event) {
    const double step = event->modifiers() & Qt::ShiftModifier ? 1.0 : 0.1;
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        QWidget::keyPressEvent(event);
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        keyboardEnd_ = !keyboardEnd_;
        update();
        return;
    case Qt::Key_Left:
        moveHandle(!keyboardEnd_, (keyboardEnd_ ? end_ : start_) - step);
        return;
    case Qt::Key_Right:
        moveHandle(!keyboardEnd_, (keyboardEnd_ ? end_ : start_) + step);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

TrimBar::TrimBar(QWidget* parent) : QWidget(parent), timeline_(new TrimTimeline(this)) {
    setObjectName(QStringLiteral("trimBar"));
    //: Button of the video editor's trimming bar: keep the part between the handles
    auto* trim = new QPushButton(tr("Trim"), this);
    trim->setObjectName(QStringLiteral("trimDone"));
    trim->setDefault(true);
    //: Button of the video editor's trimming bar: leave the trimming as it was
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("trimCancel"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 8, 14, 8);
    layout->setSpacing(12);
    layout->addWidget(timeline_, 1);
    layout->addWidget(cancel);
    layout->addWidget(trim);
    connect(trim, &QPushButton::clicked, this,
            [this] { Q_EMIT trimmed(timeline_->start(), timeline_->end()); });
    connect(cancel, &QPushButton::clicked, this, &TrimBar::cancelled);
}

} // namespace videoeditor
