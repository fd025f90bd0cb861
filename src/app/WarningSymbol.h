#pragma once

#include <QColor>
#include <QPixmap>

namespace app {

// A filled warning triangle with its exclamation mark cut out, in `tint`:
// the icon theme's "dialog-warning-symbolic" where the theme has it, else our
// own drawing; `side` points square, sharp at `devicePixelRatio`.
QPixmap warningSymbol(const QColor& tint, int side, qreal devicePixelRatio);

// The orange of warnings next to a text.
inline QColor warningOrange() {
    return QColor(0xff, 0x95, 0x00);
}

} // namespace app
