#include "annotation/TextMetrics.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QMutex>
#include <QPaintDevice>
#include <QStringList>

#include <algorithm>

inline void initAnnotationResources() {
    Q_INIT_RESOURCE(annotation);
}

namespace annotation::textMetrics {

namespace {

// The family name of the bundled font, registered once.
QString bundledFamily() {
    static const QString family = [] {
        initAnnotationResources();
        const int id =
            QFontDatabase::addApplicationFont(QStringLiteral(":/vexlin/fonts/DejaVuSans-Bold.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("DejaVu Sans") : families.first();
    }();
    return family;
}

// A device of exactly 72 dpi, for measuring in points.
const QPaintDevice* pointDevice() {
    static const QImage image = [] {
        QImage i(1, 1, QImage::Format_ARGB32_Premultiplied);
        i.setDotsPerMeterX(2835);
        i.setDotsPerMeterY(2835);
        return i;
    }();
    return &image;
}

const QPaintDevice* orPointDevice(const QPaintDevice* device) {
    return device ? device : pointDevice();
}

} // namespace

QFont labelFont(double points, const QPaintDevice* device) {
    QFont font(bundledFamily());
    font.setWeight(QFont::Bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    // Point sizes are meant at 72 dpi: scale for a device of another density
    // so that one point stays one user-space unit.
    const int dpi = std::max(1, orPointDevice(device)->logicalDpiY());
    font.setPointSizeF(std::max(points, 0.01) * 72.0 / dpi);
    return font;
}

QSizeF measure(const QString& text, const QFont& font, const QPaintDevice* device) {
    const QFontMetricsF metrics(font, const_cast<QPaintDevice*>(orPointDevice(device)));
    const QStringList lines = text.split(QLatin1Char('\n'));
    double width = 0;
    for (const QString& line : lines) {
        width = std::max(width, metrics.horizontalAdvance(line));
    }
    return {width, metrics.lineSpacing() * static_cast<double>(lines.size())};
}

double lineHeight(const QFont& font, const QPaintDevice* device) {
    return QFontMetricsF(font, const_cast<QPaintDevice*>(orPointDevice(device))).lineSpacing();
}

double ascent(const QFont& font, const QPaintDevice* device) {
    return QFontMetricsF(font, const_cast<QPaintDevice*>(orPointDevice(device))).ascent();
}

} // namespace annotation::textMetrics
