#include "service/UpdateManifest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSettings>

#include <cmath>
#include <limits>

namespace service {

namespace {

// JSON numbers arrive as doubles; a build must be a whole number a signed
// 64-bit integer holds exactly.
std::optional<qint64> integerValue(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::floor(number) != number || number < -9.007199254740992e15 ||
        number > 9.007199254740992e15) {
        return std::nullopt;
    }
    return static_cast<qint64>(number);
}

std::optional<QUrl> urlValue(const QJsonValue& value) {
    if (!value.isString() || value.toString().isEmpty()) {
        return std::nullopt;
    }
    const QUrl url(value.toString(), QUrl::StrictMode);
    if (!isAllowedServiceAddress(url)) {
        return std::nullopt;
    }
    return url;
}

// An optional key: absent or null is fine, anything else must decode.
template <typename Decode>
bool decodeOptional(const QJsonObject& object, const char* key, Decode decode, auto& into) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) {
        return true;
    }
    auto decoded = decode(value);
    if (!decoded) {
        return false;
    }
    into = *decoded;
    return true;
}

OsVersion parseMinimum(const QString& text) {
    qint64 numbers[3] = {0, 0, 0};
    int index = 0;
    for (const QString& piece : text.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        if (index == 3) {
            break;
        }
        bool ok = false;
        const qint64 number = piece.toLongLong(&ok, 10);
        numbers[index++] = ok ? number : 0;
    }
    return {numbers[0], numbers[1], numbers[2]};
}

const QString announcedKey = QStringLiteral("announcedUpdateBuild");
const QString criticalBuildKey = QStringLiteral("criticalUpdateAlertBuild");
const QString criticalDateKey = QStringLiteral("criticalUpdateAlertDate");

} // namespace

bool UpdateManifest::isApplicable(qint64 running, const OsVersion& os) const {
    if (build <= running) {
        return false;
    }
    if (!minimumOS) {
        return true;
    }
    return os >= parseMinimum(*minimumOS);
}

std::optional<UpdateManifest> decodeManifest(const QByteArray& body) {
    if (body.size() > maximumManifestSize) {
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    UpdateManifest manifest;

    const QJsonValue version = object.value(QLatin1String("version"));
    if (!version.isString()) {
        return std::nullopt;
    }
    manifest.version = version.toString();
    const auto build = integerValue(object.value(QLatin1String("build")));
    if (!build) {
        return std::nullopt;
    }
    manifest.build = *build;
    const auto download = urlValue(object.value(QLatin1String("download")));
    if (!download) {
        return std::nullopt;
    }
    manifest.download = *download;

    const auto text = [](const QJsonValue& value) -> std::optional<QString> {
        if (!value.isString()) {
            return std::nullopt;
        }
        return value.toString();
    };
    const auto boolean = [](const QJsonValue& value) -> std::optional<bool> {
        if (!value.isBool()) {
            return std::nullopt;
        }
        return value.toBool();
    };
    if (!decodeOptional(object, "file", urlValue, manifest.file) ||
        !decodeOptional(object, "notes", urlValue, manifest.notes) ||
        !decodeOptional(object, "minimum_os", text, manifest.minimumOS) ||
        !decodeOptional(object, "critical", boolean, manifest.critical)) {
        return std::nullopt;
    }
    return manifest;
}

qint64 parseBuildNumber(const QString& text) {
    if (text.isEmpty()) {
        return 0;
    }
    qsizetype start = (text[0] == QLatin1Char('+') || text[0] == QLatin1Char('-')) ? 1 : 0;
    if (start == text.size()) {
        return 0;
    }
    for (qsizetype i = start; i < text.size(); ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9')) {
            return 0;
        }
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? value : 0;
}

qint64 currentBuild() {
#ifdef VEXLIN_BUILD_NUMBER
    return parseBuildNumber(QStringLiteral(VEXLIN_BUILD_NUMBER));
#else
    return 0;
#endif
}

UpdateAnnouncement UpdateAnnouncement::load(const QString& settingsPath) {
    const QSettings file(settingsPath, QSettings::IniFormat);
    UpdateAnnouncement record;
    record.announcedBuild = file.value(announcedKey).toLongLong();
    const QDateTime date =
        QDateTime::fromString(file.value(criticalDateKey).toString(), Qt::ISODate);
    if (date.isValid()) {
        record.criticalAlert = CriticalAlert{file.value(criticalBuildKey).toLongLong(), date};
    }
    return record;
}

void UpdateAnnouncement::save(const QString& settingsPath) const {
    QSettings file(settingsPath, QSettings::IniFormat);
    file.setValue(announcedKey, announcedBuild);
    if (criticalAlert) {
        file.setValue(criticalBuildKey, criticalAlert->build);
        file.setValue(criticalDateKey, criticalAlert->date.toUTC().toString(Qt::ISODate));
    } else {
        file.remove(criticalBuildKey);
        file.remove(criticalDateKey);
    }
    file.sync();
}

} // namespace service
