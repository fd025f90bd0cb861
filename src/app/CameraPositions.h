#pragma once

#include <QByteArray>
#include <QMap>
#include <QPointF>
#include <QString>

namespace app {

// Where the camera bubble of a recording sits, per display (the key names the
// display). Stored as a JSON object from display key to [x, y].
using CameraPositions = QMap<QString, QPointF>;

// A stored map is taken only when it is an object whose every value is an
// array of numbers; of those, entries of exactly two numbers are kept. Any
// other form loads as an empty map.
CameraPositions cameraPositionsFromJson(const QByteArray& json);
QByteArray cameraPositionsToJson(const CameraPositions& positions);

} // namespace app
