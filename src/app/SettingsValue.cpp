#include "app/SettingsValue.h"

#include <limits>

namespace app::settingsValue {

std::optional<bool> toBool(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
            text == QLatin1String("1")) {
            return true;
        }
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
            text == QLatin1String("0")) {
            return false;
        }
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<qint64> toInt(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        return value.toLongLong();
    case QMetaType::ULongLong: {
        const qulonglong number = value.toULongLong();
        if (number > static_cast<qulonglong>(std::numeric_limits<qint64>::max())) {
            return std::nullopt;
        }
        return static_cast<qint64>(number);
    }
    case QMetaType::QString: {
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok, 10);
        return ok ? std::optional<qint64>(number) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QString> toString(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<QByteArray> toBytes(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return value.toByteArray();
    case QMetaType::QString:
        return value.toString().toUtf8();
    default:
        return std::nullopt;
    }
}

std::optional<QStringList> toStringList(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QStringList:
        return value.toStringList();
    case QMetaType::QString: {
        const QString text = value.toString();
        return text.isEmpty() ? QStringList() : QStringList{text};
    }
    case QMetaType::QVariantList: {
        QStringList list;
        for (const QVariant& item : value.toList()) {
            if (item.typeId() != QMetaType::QString) {
                return std::nullopt;
            }
            list.append(item.toString());
        }
        return list;
    }
    default:
        return std::nullopt;
    }
}

} // namespace app::settingsValue
