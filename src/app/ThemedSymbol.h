#pragma once

#include <QColor>
#include <QPixmap>
#include <QStringList>

#include <functional>

class QPainter;

namespace app {

// A single-colour symbol `side` points square in `tint`, sharp at
// `devicePixelRatio`: the first of `themeNames` that the icon theme has,
// tinted as a template would be; else what `drawOwn` draws (the painter in
// points, antialiased); where that draws nothing and says false, a tinted
// dot. Only symbolic theme icons belong in `themeNames`: a full-colour icon
// tinted to one colour is a blot.
QPixmap themedSymbol(const QStringList& themeNames, const QColor& tint, int side,
                     qreal devicePixelRatio, const std::function<bool(QPainter&)>& drawOwn);

} // namespace app
