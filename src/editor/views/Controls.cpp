#include "editor/views/Controls.h"

#include "editor/views/ViewKit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace editor {

namespace {
constexpr qreal kRadius = 6;
constexpr int kSymbolSize = 16;
} // namespace

SegmentedControl::SegmentedControl(std::vector<Segment> segments, QWidget* parent)
    : QWidget(parent), segments_(std::move(segments)) {
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
}

void SegmentedControl::setCurrentIndex(int index) {
    if (index < -1 || index >= count()) {
        index = -1;
    }
    if (index == current_) {
        return;
    }
    current_ = index;
    update();
}

int SegmentedControl::segmentWidth() const {
    const QFontMetrics metrics(font());
    int widest = kSymbolSize + 18;
    for (const Segment& s : segments_) {
        if (s.symbol.isEmpty()) {
            widest = qMax(widest, metrics.horizontalAdvance(s.text) + 20);
        }
    }
    return widest;
}

QSize SegmentedControl::sizeHint() const {
    const int height = qMax(QFontMetrics(font()).height() + 9, 24);
    return {segmentWidth() * count() + 2, height};
}

QRect SegmentedControl::segmentRect(int index) const {
    const int w = segmentWidth();
    return QRect(1 + index * w, 0, w, height());
}

int SegmentedControl::segmentAt(const QPoint& pos) const {
    for (int i = 0; i < count(); ++i) {
        if (segmentRect(i).contains(pos)) {
            return i;
        }
    }
    return -1;
}

void SegmentedControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    outline.addRoundedRect(frame, kRadius, kRadius);

    painter.fillPath(outline, pal.color(QPalette::Button));
    painter.save();
    painter.setClipPath(outline);
    if (pressed_ >= 0 && pressInside_ && pressed_ != current_) {
        painter.fillRect(segmentRect(pressed_), withAlpha(pal.color(QPalette::WindowText), 0.1));
    }
    if (current_ >= 0) {
        painter.fillRect(segmentRect(current_), accentColor(pal));
    }
    painter.restore();

    // Separators only between two segments that are not chosen.
    const QColor line = withAlpha(pal.color(QPalette::WindowText), 0.16);
    for (int i = 1; i < count(); ++i) {
        if (i == current_ || i - 1 == current_) {
            continue;
        }
        const int x = segmentRect(i).left();
        painter.fillRect(QRectF(x - 0.5, 5, 1, height() - 10), line);
    }
    painter.setPen(QPen(withAlpha(pal.color(QPalette::WindowText), 0.24), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    if (hasFocus()) {
        painter.setPen(QPen(withAlpha(accentColor(pal), 0.8), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), kRadius - 1, kRadius - 1);
    }

    painter.setFont(font());
    for (int i = 0; i < count(); ++i) {
        const Segment& s = segments_[static_cast<std::size_t>(i)];
        const QColor ink =
            i == current_ ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::ButtonText);
        const QRect r = segmentRect(i);
        if (!s.symbol.isEmpty()) {
            drawSymbol(painter, s.symbol, r, QSizeF(kSymbolSize, kSymbolSize), ink);
        } else {
            painter.setPen(ink);
            painter.drawText(r, Qt::AlignCenter, s.text);
        }
    }
}

void SegmentedControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = segmentAt(event->position().toPoint());
    pressInside_ = pressed_ >= 0;
    update();
}

void SegmentedControl::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_ < 0) {
        return;
    }
    const bool inside = segmentRect(pressed_).contains(event->position().toPoint());
    if (inside != pressInside_) {
        pressInside_ = inside;
        update();
    }
}

void SegmentedControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressed_ < 0) {
        return;
    }
    const int chosen = pressed_;
    const bool inside = segmentRect(chosen).contains(event->position().toPoint());
    pressed_ = -1;
    pressInside_ = false;
    update();
    if (inside) {
        Q_EMIT activated(chosen);
    }
}

void SegmentedControl::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    if (event->key() == Qt::Key_Left) {
        step = -1;
    } else if (event->key() == Qt::Key_Right) {
        step = 1;
    }
    if (step == 0 || count() == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int next = qBound(0, (current_ < 0 ? 0 : current_ + step), count() - 1);
    Q_EMIT activated(next);
}

void SegmentedControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

ProminentButton::ProminentButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setAttribute(Qt::WA_Hover);
}

void ProminentButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if (!isEnabled()) {
        painter.setOpacity(0.45);
    }
    QColor face = accentColor(pal);
    if (isDown()) {
        face = face.darker(118);
    } else if (underMouse()) {
        face = face.lighter(108);
    }
    const QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setPen(QPen(face.darker(125), 1));
    painter.setBrush(face);
    painter.drawRoundedRect(box, 3.5, 3.5);
    if (hasFocus()) {
        painter.setPen(QPen(withAlpha(pal.color(QPalette::HighlightedText), 0.7), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(box.adjusted(2, 2, -2, -2), 2, 2);
    }
    painter.setPen(pal.color(QPalette::HighlightedText));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if (!isEnabled()) {
        painter.setOpacity(0.5);
    }
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    const QColor trackColour =
        isChecked() ? accentColor(pal) : withAlpha(pal.color(QPalette::WindowText), 0.22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColour);
    painter.drawRoundedRect(track, radius, radius);
    if (hasFocus()) {
        painter.setPen(QPen(withAlpha(accentColor(pal), 0.6), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(-0.25, -0.25, 0.25, 0.25), radius, radius);
    }
    const qreal knob = track.height() - 4;
    const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    const QRectF knobRect(x, track.top() + 2, knob, knob);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.75));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knobRect);
}

} // namespace editor
