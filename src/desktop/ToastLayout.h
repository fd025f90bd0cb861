#pragma once

#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

namespace desktop {

// Where each piece of a toast goes: symbol, title and up to two lines of
// detail in a capsule, with room around it for the shadow. Pure geometry, so
// it is worked out once and tested without a window.
struct ToastLayout {
    static constexpr qreal outerPadding = 12;
    static constexpr qreal horizontalPadding = 16;
    static constexpr qreal verticalPadding = 11;
    static constexpr qreal spacing = 10;
    static constexpr qreal lineSpacing = 2;
    static constexpr qreal symbolSide = 20;
    static constexpr qreal detailMaxWidth = 320;
    static constexpr int detailMaxLines = 2;

    QFont titleFont;
    QFont detailFont;
    QSizeF size;    // the whole panel
    QRectF capsule; // inside the outer padding
    QRectF symbol;  // the symbol's square
    QRectF title;   // the title's line
    QRectF detail;  // the detail's block, empty without a detail
    QStringList detailLines;

    static QFont defaultTitleFont();
    static QFont defaultDetailFont();

    static ToastLayout make(const QString& title, const std::optional<QString>& detail,
                            const QFont& titleFont = defaultTitleFont(),
                            const QFont& detailFont = defaultDetailFont());
};

// Breaks `text` into lines no wider than `width`; past `maxLines`, the last
// line shown ends in "…".
QStringList wrapLines(const QString& text, const QFont& font, qreal width, int maxLines);

} // namespace desktop
