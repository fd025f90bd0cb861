#include "app/CameraPositions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace app {

namespace {

bool isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// The common rule over both forms, once each value is a list of QVariants.
template <typename Lists> CameraPositions fromLists(const Lists& lists) {
    CameraPositions positions;
    for (const auto& [key, numbers] : lists) {
        for (const QVariant& number : numbers) {
            if (!isNumber(number)) {
                return {};
            }
        }
        if (numbers.size() != 2) {
            continue;
        }
        const QPointF point(numbers[0].toDouble(), numbers[1].toDouble());
        // Not a place on any display; the bubble would have nowhere to go.
        if (std::isfinite(point.x()) && std::isfinite(point.y())) {
            positions.insert(key, point);
        }
    }
    return positions;
}

} // namespace

CameraPositions cameraPositionsFromMap(const QVariantMap& map) {
    QList<std::pair<QString, QVariantList>> lists;
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (it.value().typeId() != QMetaType::QVariantList) {
            return {};
        }
        lists.append({it.key(), it.value().toList()});
    }
    return fromLists(lists);
}

QVariantMap cameraPositionsToMap(const CameraPositions& positions) {
    QVariantMap map;
    for (auto it = positions.begin(); it != positions.end(); ++it) {
        map.insert(it.key(), QVariantList{it.value().x(), it.value().y()});
    }
    return map;
}

CameraPositions cameraPositionsFromJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return {};
    }
    const QJsonObject object = document.object();
    QList<std::pair<QString, QVariantList>> lists;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isArray()) {
            return {};
        }
        QVariantList numbers;
        for (const QJsonValue& number : it.value().toArray()) {
            if (!number.isDouble()) {
                return {};
            }
            numbers.append(number.toDouble());
        }
        lists.append({it.key(), numbers});
    }
    return fromLists(lists);
}

QByteArray cameraPositionsToJson(const CameraPositions& positions) {
    QJsonObject object;
    for (auto it = positions.begin(); it != positions.end(); ++it) {
        object.insert(it.key(), QJsonArray{it.value().x(), it.value().y()});
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool isJsonCameraPositions(const QVariant& stored) {
    return stored.typeId() == QMetaType::QString || stored.typeId() == QMetaType::QByteArray;
}

CameraPositions cameraPositionsFromStored(const QVariant& stored) {
    if (stored.typeId() == QMetaType::QVariantMap) {
        return cameraPositionsFromMap(stored.toMap());
    }
    if (isJsonCameraPositions(stored)) {
        return cameraPositionsFromJson(stored.typeId() == QMetaType::QString
                                           ? stored.toString().toUtf8()
                                           : stored.toByteArray());
    }
    return {};
}

} // namespace app
