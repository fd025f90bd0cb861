#include "recording/EvenDigits.h"

#include <QPainter>

#include <algorithm>

namespace recording::evenDigits {

namespace {

qreal cellWidth(const QFontMetricsF& metrics) {
    qreal widest = 0;
    for (char16_t digit = u'0'; digit <= u'9'; ++digit) {
        widest = std::max(widest, metrics.horizontalAdvance(QChar(digit)));
    }
    return widest;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Calls `digit(c)` for each ASCII digit and `run(text)` for each stretch
// between them, in order.
template <typename Digit, typename Run>
void walk(const QString& text, const Digit& digit, const Run& run) {
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isDigit(text[i])) {
            continue;
        }
        if (i > start) {
            run(text.mid(start, i - start));
        }
        if (i < text.size()) {
            digit(text[i]);
        }
        start = i + 1;
    }
}

} // namespace

qreal width(const QFontMetricsF& metrics, const QString& text) {
    const qreal cell = cellWidth(metrics);
    qreal total = 0;
    walk(
        text, [&](QChar) { total += cell; },
        [&](const QString& run) { total += metrics.horizontalAdvance(run); });
    return total;
}

void draw(QPainter& painter, const QRectF& rect, Qt::Alignment alignment, const QString& text) {
    const QFontMetricsF metrics(painter.font());
    const qreal cell = cellWidth(metrics);
    const qreal total = width(metrics, text);
    qreal x = rect.left();
    if (alignment & Qt::AlignRight) {
        x = rect.right() - total;
    } else if (alignment & Qt::AlignHCenter) {
        x = rect.center().x() - total / 2;
    }
    const qreal baseline = rect.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    walk(
        text,
        [&](QChar c) {
            const qreal advance = metrics.horizontalAdvance(c);
            painter.drawText(QPointF(x + (cell - advance) / 2, baseline), QString(c));
            x += cell;
        },
        [&](const QString& run) {
            painter.drawText(QPointF(x, baseline), run);
            x += metrics.horizontalAdvance(run);
        });
}

} // namespace recording::evenDigits
