#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>

class QPainter;

namespace recording {

// Draws one of the recording controls' pictures in `box`, in `tint`:
// "speaker.wave.2.fill", "mic.fill", "cursorarrow", "cursorarrow.click.2",
// "keyboard", "person.crop.circle", "eye.slash", "xmark",
// "record.circle.fill", "pause.fill", "play.fill", "arrow.counterclockwise",
// "trash", "stop.fill", "video.slash", "gear". Vector drawing, sharp at any
// scale. False, and nothing drawn, for another name.
bool drawRecordingSymbol(QPainter& painter, const QString& symbol, const QRectF& box,
                         const QColor& tint);

// The same picture as an icon, drawn afresh at whatever size and scale it is
// shown.
QIcon recordingSymbolIcon(const QString& symbol, const QColor& tint);

} // namespace recording
