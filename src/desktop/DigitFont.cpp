#include "desktop/DigitFont.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace desktop {

bool hasFixedWidthDigits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (!qFuzzyCompare(metrics.horizontalAdvance(QLatin1Char(digit)), zero)) {
            return false;
        }
    }
    return true;
}

QFont withFixedWidthDigits(const QFont& font) {
    if (hasFixedWidthDigits(font)) {
        return font;
    }
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font.pixelSize() > 0) {
        fixed.setPixelSize(font.pixelSize());
    } else {
        fixed.setPointSizeF(font.pointSizeF());
    }
    fixed.setWeight(font.weight());
    fixed.setItalic(font.italic());
    return fixed;
}

} // namespace desktop
