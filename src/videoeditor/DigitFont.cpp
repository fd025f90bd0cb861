#include "videoeditor/DigitFont.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace videoeditor {

bool hasEvenDigits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) != zero) {
            return false;
        }
    }
    return true;
}

QFont monospacedDigits(const QFont& font) {
    if (hasEvenDigits(font)) {
        return font;
    }
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font.pointSizeF() > 0) {
        fixed.setPointSizeF(font.pointSizeF());
    } else if (font.pixelSize() > 0) {
        fixed.setPixelSize(font.pixelSize());
    }
    fixed.setWeight(font.weight());
    return fixed;
}

} // namespace videoeditor
