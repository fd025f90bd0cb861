#pragma once

#include <QByteArray>
#include <QMap>
#include <QPointF>
#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace app {

// Where the camera bubble of a recording sits, per display (the key names the
// display). Stored as a map from display key to the list [x, y]; builds
// before this one stored the same map as a JSON object in a string.
using CameraPositions = QMap<QString, QPointF>;

// A stored map is taken only when every value is a list of numbers; of those,
// entries of exactly two finite numbers are kept. Any other form loads as an
// empty map.
CameraPositions cameraPositionsFromMap(const QVariantMap& map);
QVariantMap cameraPositionsToMap(const CameraPositions& positions);

// The JSON-string form of earlier builds, under the same rule.
CameraPositions cameraPositionsFromJson(const QByteArray& json);
QByteArray cameraPositionsToJson(const CameraPositions& positions);

// A value as the settings file gives it back: a map, or the JSON form as text
// or bytes. Nothing else holds positions.
CameraPositions cameraPositionsFromStored(const QVariant& stored);
// Whether a stored value is in the JSON form of earlier builds.
bool isJsonCameraPositions(const QVariant& stored);

} // namespace app
