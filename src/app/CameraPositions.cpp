#include "app/CameraPositions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace app {

CameraPositions cameraPositionsFromJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return {};
    }
    const QJsonObject object = document.object();
    CameraPositions positions;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isArray()) {
            return {};
        }
        const QJsonArray numbers = it.value().toArray();
        for (const QJsonValue& number : numbers) {
            if (!number.isDouble()) {
                return {};
            }
        }
        if (numbers.size() == 2) {
            positions.insert(it.key(), QPointF(numbers[0].toDouble(), numbers[1].toDouble()));
        }
    }
    return positions;
}

QByteArray cameraPositionsToJson(const CameraPositions& positions) {
    QJsonObject object;
    for (auto it = positions.begin(); it != positions.end(); ++it) {
        object.insert(it.key(), QJsonArray{it.value().x(), it.value().y()});
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace app
