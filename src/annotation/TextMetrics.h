#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>

class QPaintDevice;

namespace annotation {

// Text of labels and counters is set in a font bundled with the program, at
// 72 dots per inch, so that a label has the same frame on every machine and
// in every export.
namespace textMetrics {

// The label font (the bundled sans serif, bold) at `points` points for the
// given device; without a device, for a 72-dpi device.
QFont labelFont(double points, const QPaintDevice* device = nullptr);

// Multi-line measure in the given font: the widest line's advance and one
// line height (leading included) per line; a trailing line feed adds an
// empty line. `device` as for labelFont.
QSizeF measure(const QString& text, const QFont& font, const QPaintDevice* device = nullptr);

// Height of one line of the font on the device.
double lineHeight(const QFont& font, const QPaintDevice* device = nullptr);
double ascent(const QFont& font, const QPaintDevice* device = nullptr);

} // namespace textMetrics
} // namespace annotation
