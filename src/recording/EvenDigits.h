#pragma once

#include <QFontMetricsF>
#include <QRectF>
#include <QString>

class QPainter;

namespace recording::evenDigits {

// Texts that count (the elapsed time, the countdown) with every digit as wide
// as the widest one, so that they keep their width and do not jitter as they
// change. Digits stand in cells of that width, centred; the other runs of
// the text are laid out whole, as the font shapes them.
qreal width(const QFontMetricsF& metrics, const QString& text);

// Draws `text` in the painter's font, placed in `rect` by `alignment`
// (horizontally left, right or centred; vertically centred).
void draw(QPainter& painter, const QRectF& rect, Qt::Alignment alignment, const QString& text);

} // namespace recording::evenDigits
