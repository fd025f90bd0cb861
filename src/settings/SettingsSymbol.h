#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

class QPainter;

namespace settings {

// The small pictures of the settings, About and welcome windows, by the
// symbol's name: the sections ("gearshape", "camera.viewfinder", "keyboard",
// "rectangle.stack", "record.circle", "cursorarrow.click.2", "hand.raised",
// "info.circle"), the permissions ("display", "keyboard", "camera", "mic",
// "cursorarrow.motionlines") and the About features ("rectangle.dashed",
// "textformat", "pencil", "lock.shield"), and the status marks
// ("checkmark.circle.fill", "exclamationmark.triangle.fill"). The icon theme's symbolic icon of
// the same idea when the theme has one, else our own drawing; in `tint`,
// `side` points square, sharp at `devicePixelRatio`.
QPixmap settingsSymbol(const QString& symbol, const QColor& tint, int side, qreal devicePixelRatio);

// Our own drawing alone; false for a name we do not draw.
bool drawSettingsGlyph(QPainter& painter, const QString& symbol, qreal side, const QColor& tint);

} // namespace settings
