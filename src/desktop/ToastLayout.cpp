#include "desktop/ToastLayout.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace desktop {

QFont ToastLayout::defaultTitleFont() {
    QFont font;
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont ToastLayout::defaultDetailFont() {
    QFont font;
    font.setPixelSize(12);
    return font;
}

QStringList wrapLines(const QString& text, const QFont& font, qreal width, int maxLines) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            // The last line allowed takes the rest, cut with an ellipsis if long.
            const QString rest = text.mid(line.textStart()).simplified();
            const QFontMetricsF metrics(font);
            lines << metrics.elidedText(rest, Qt::ElideRight, width);
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

ToastLayout ToastLayout::make(const QString& title, const std::optional<QString>& detail,
                              const QFont& titleFont, const QFont& detailFont) {
    ToastLayout layout;
    layout.titleFont = titleFont;
    layout.detailFont = detailFont;

    const QFontMetricsF titleMetrics(titleFont);
    const QSizeF titleSize(std::ceil(titleMetrics.horizontalAdvance(title)),
                           std::ceil(titleMetrics.height()));
    QSizeF detailSize;
    if (detail) {
        layout.detailLines = wrapLines(*detail, detailFont, detailMaxWidth, detailMaxLines);
        const QFontMetricsF detailMetrics(detailFont);
        qreal widest = 0;
        for (const QString& line : layout.detailLines) {
            widest = std::max(widest, detailMetrics.horizontalAdvance(line));
        }
        detailSize = QSizeF(
            std::min(detailMaxWidth, std::ceil(widest)),
            std::ceil(detailMetrics.lineSpacing() * static_cast<qreal>(layout.detailLines.size())));
    }

    const qreal textWidth = std::max(titleSize.width(), detailSize.width());
    const qreal textHeight = titleSize.height() + (detail ? lineSpacing + detailSize.height() : 0);
    const qreal contentHeight = std::max(symbolSide, textHeight);
    const QSizeF capsuleSize(horizontalPadding * 2 + symbolSide + spacing + textWidth,
                             verticalPadding * 2 + contentHeight);

    layout.capsule = QRectF(QPointF(outerPadding, outerPadding), capsuleSize);
    layout.size = capsuleSize + QSizeF(outerPadding * 2, outerPadding * 2);

    const qreal left = layout.capsule.left() + horizontalPadding;
    const qreal centreY = layout.capsule.center().y();
    layout.symbol = QRectF(left, centreY - symbolSide / 2, symbolSide, symbolSide);
    const qreal textLeft = left + symbolSide + spacing;
    const qreal textTop = centreY - textHeight / 2;
    layout.title = QRectF(QPointF(textLeft, textTop), titleSize);
    if (detail) {
        layout.detail =
            QRectF(QPointF(textLeft, textTop + titleSize.height() + lineSpacing), detailSize);
    }
    return layout;
}

} // namespace desktop
