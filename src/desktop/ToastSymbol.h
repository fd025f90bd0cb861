#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

class QPainter;

namespace desktop {

// The picture a toast shows beside its title, by the symbol's name:
// "checkmark.circle.fill", "link", "qrcode", "text.viewfinder",
// "text.magnifyingglass" or "macwindow". The icon theme's symbolic icon for
// the same idea when the theme has one, else our own drawing; either way in
// `tint`, `side` points square, rendered at `devicePixelRatio` so that it is
// sharp on the screen it goes to. An unknown name gives a tinted dot.
QPixmap toastSymbol(const QString& symbol, const QColor& tint, int side, qreal devicePixelRatio);

// Our own drawing of `symbol` alone, without asking the icon theme; false for
// a name we do not draw.
bool drawToastGlyph(QPainter& painter, const QString& symbol, qreal side, const QColor& tint);

} // namespace desktop
