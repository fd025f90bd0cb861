#include "app/Preferences.h"

#include "app/FilePanels.h"
#include "app/SettingsFile.h"
#include "app/SettingsValue.h"
#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>

#include <concepts>
#include <type_traits>

namespace app {

namespace {

// The form each kind of value takes in the settings file. No value means the
// key is removed.
QVariant stored(bool value) {
    return value;
}
QVariant stored(qint64 value) {
    return static_cast<qlonglong>(value);
}
template <typename E>
requires std::is_enum_v<E> QVariant stored(E value) {
    return rawValue(value);
}
QVariant stored(const std::optional<QByteArray>& value) {
    return value ? *value : QVariant();
}
QVariant stored(const std::optional<QString>& value) {
    return value ? *value : QVariant();
}
QVariant stored(const QStringList& value) {
    return value;
}
QVariant stored(const CameraPositions& value) {
    return cameraPositionsToMap(value);
}
QVariant stored(const ShortcutMap& value) {
    return value.toJson();
}

// Reads of a stored value in the setting's own type. The file may hold
// anything: what does not read as the type gives the fallback, the setting's
// declared default.
bool readStored(const QVariant& raw, bool fallback) {
    return settingsValue::toBool(raw).value_or(fallback);
}
qint64 readStored(const QVariant& raw, qint64 fallback) {
    return settingsValue::toInt(raw).value_or(fallback);
}
template <typename E>
requires std::is_enum_v<E> E readStored(const QVariant& raw, E fallback) {
    const auto text = settingsValue::toString(raw);
    return text ? fromRawValue<E>(*text).value_or(fallback) : fallback;
}
std::optional<QByteArray> readStored(const QVariant& raw,
                                     const std::optional<QByteArray>& fallback) {
    const auto bytes = settingsValue::toBytes(raw);
    return bytes ? bytes : fallback;
}
std::optional<QString> readStored(const QVariant& raw, const std::optional<QString>& fallback) {
    const auto text = settingsValue::toString(raw);
    return text ? text : fallback;
}
QStringList readStored(const QVariant& raw, const QStringList& fallback) {
    return settingsValue::toStringList(raw).value_or(fallback);
}
CameraPositions readStored(const QVariant& raw, const CameraPositions& fallback) {
    return raw.isValid() ? cameraPositionsFromStored(raw) : fallback;
}
ShortcutMap readStored(const QVariant& raw, const ShortcutMap& fallback) {
    const auto json = settingsValue::toBytes(raw);
    return json ? ShortcutMap::fromJson(*json) : fallback;
}

// The words of the declaration list (Preferences.h).
struct Registered {};
struct Unregistered {};
constexpr Registered registered;
constexpr Unregistered unregistered;

struct Keep {};
constexpr Keep keep;
IntegerRule oneOf(std::same_as<int> auto... allowed) {
    return IntegerRule{{allowed...}, std::nullopt, std::nullopt};
}
IntegerRule within(qint64 minimum, qint64 maximum) {
    return IntegerRule{{}, minimum, maximum};
}

template <typename T> T repaired(const T& value, const T& /*fallback*/, Keep) {
    return value;
}
qint64 repaired(qint64 value, qint64 fallback, const IntegerRule& rule) {
    return rule.repaired(value, fallback);
}

template <typename T, typename Rule>
T loadSetting(const QSettings& settings, const QString& key, const T& fallback, const Rule& rule) {
    return repaired(readStored(settings.value(key), fallback), fallback, rule);
}

template <typename T> constexpr SettingKind kindOf() {
    if constexpr (std::is_same_v<T, bool>) {
        return SettingKind::boolean;
    } else if constexpr (std::is_same_v<T, qint64>) {
        return SettingKind::integer;
    } else if constexpr (std::is_enum_v<T>) {
        return SettingKind::choice;
    } else if constexpr (std::is_same_v<T, std::optional<QByteArray>>) {
        return SettingKind::data;
    } else if constexpr (std::is_same_v<T, std::optional<QString>>) {
        return SettingKind::text;
    } else if constexpr (std::is_same_v<T, QStringList>) {
        return SettingKind::textList;
    } else if constexpr (std::is_same_v<T, CameraPositions>) {
        return SettingKind::cameraPositions;
    } else {
        static_assert(std::is_same_v<T, ShortcutMap>, "a setting of a type the store cannot keep");
        return SettingKind::shortcuts;
    }
}

template <typename T, typename Registration, typename Rule>
SettingDescriptor describe(const char* key, const T& fallback, Registration, const Rule& rule) {
    constexpr bool isRegistered = std::is_same_v<Registration, Registered>;
    // A registered default lives in the file's own terms, which only the
    // plain values have.
    static_assert(!isRegistered || std::is_scalar_v<T>,
                  "only plain values have a registered default");
    SettingDescriptor descriptor;
    descriptor.key = QString::fromLatin1(key);
    descriptor.kind = kindOf<T>();
    descriptor.defaultValue = QVariant::fromValue(fallback);
    descriptor.registered = isRegistered;
    if constexpr (std::is_enum_v<T>) {
        for (const T option : allCases<T>()) {
            descriptor.choices.append(rawValue(option));
        }
    }
    if constexpr (std::is_same_v<Rule, IntegerRule>) {
        static_assert(std::is_same_v<T, qint64>, "only integers have a load rule");
        descriptor.rule = rule;
    }
    return descriptor;
}

// A registered default is the value in the file's own form.
template <typename T>
void registerDefault(QList<QPair<QString, QVariant>>& defaults, const char* key, const T& fallback,
                     Registered) {
    defaults.append({QString::fromLatin1(key), stored(fallback)});
}
template <typename T>
void registerDefault(QList<QPair<QString, QVariant>>&, const char*, const T&, Unregistered) {}

} // namespace

Preferences::Preferences(const QString& filePath, QObject* parent)
    : QObject(parent), filePath_(filePath) {
    load();
}

Preferences::~Preferences() = default;

Preferences& Preferences::shared() {
    platform::assertMainThread();
    // Never released: readers may hold on to it until the program ends.
    static Preferences* const instance = new Preferences(settingsFilePath());
    return *instance;
}

QString Preferences::filePath() const {
    return filePath_;
}

const QList<SettingDescriptor>& Preferences::declarations() {
#define VEXLIN_DESCRIBE(Type, name, Name, fallback, registration, rule)                            \
    describe<Type>(#name, fallback, registration, rule),
    static const QList<SettingDescriptor> list{VEXLIN_PREFERENCES(VEXLIN_DESCRIBE)};
#undef VEXLIN_DESCRIBE
    return list;
}

QList<QPair<QString, QVariant>> Preferences::registeredDefaults() {
    QList<QPair<QString, QVariant>> defaults;
#define VEXLIN_REGISTER(Type, name, Name, fallback, registration, rule)                            \
    registerDefault<Type>(defaults, #name, fallback, registration);
    VEXLIN_PREFERENCES(VEXLIN_REGISTER)
#undef VEXLIN_REGISTER
    return defaults;
}

void Preferences::load() {
    // Repairs stay in memory: the file keeps what it holds until the setting
    // is next set.
    const std::unique_ptr<QSettings> settings = openSettingsFile(filePath_);
#define VEXLIN_LOAD(Type, name, Name, fallback, registration, rule)                                \
    name##_ = loadSetting<Type>(*settings, QStringLiteral(#name), fallback, rule);
    VEXLIN_PREFERENCES(VEXLIN_LOAD)
#undef VEXLIN_LOAD
    if (isJsonCameraPositions(settings->value(QStringLiteral("cameraPositions")))) {
        cameraPositionsAsJson_ = cameraPositions_;
    }

    // QSettings reads the file as UTF-8 and drops the bytes that are not. A
    // folder path may hold any bytes, so a plain value that is not UTF-8 is
    // taken as the file holds it (without the quotes that may surround it).
    QFile file(filePath_);
    if (file.open(QIODevice::ReadOnly)) {
        const std::optional<QByteArray> raw =
            settingsFile::rawValue(file.readAll(), QStringLiteral("saveFolderBookmark"));
        if (raw && QString::fromUtf8(*raw).toUtf8() != *raw) {
            const bool quoted = raw->size() >= 2 && raw->startsWith('"') && raw->endsWith('"');
            saveFolderBookmark_ = quoted ? raw->mid(1, raw->size() - 2) : *raw;
        }
    }
}

template <typename T>
void Preferences::assign(T& field, const T& value, const QString& key,
                         void (Preferences::*changed)(const T&)) {
    platform::assertMainThread();
    const bool differs = !(field == value);
    field = value;
    // Written on every set, also when nothing changed; only a real change is
    // announced.
    if constexpr (std::is_same_v<T, CameraPositions>) {
        if (cameraPositionsAsJson_ && *cameraPositionsAsJson_ == field) {
            write(key, QString::fromUtf8(cameraPositionsToJson(field)));
        } else {
            cameraPositionsAsJson_.reset();
            write(key, stored(field));
        }
    } else {
        write(key, stored(field));
    }
    if (differs) {
        const T current = field;
        Q_EMIT(this->*changed)(current);
    }
}

void Preferences::write(const QString& key, const QVariant& value) {
    // Straight to disk, so a crash or a kill loses no setting the user made.
    const std::error_code error = settingsFile::writeValue(filePath_, key, value);
    if (!error || toldWriteFailure_) {
        return;
    }
    toldWriteFailure_ = true;
    // After the change that failed has run its course: the setter may be
    // called from inside a menu or another panel.
    const FileError failure = FileError::settingsNotSaved(filePath_, error);
    QMetaObject::invokeMethod(
        this, [failure] { FilePanels::current().showError(nullptr, failure); },
        Qt::QueuedConnection);
}

#define VEXLIN_DEFINE_SETTER(Type, name, Name, ...)                                                \
    void Preferences::set##Name(const Type& value) {                                               \
        assign(name##_, value, QStringLiteral(#name), &Preferences::name##Changed);                \
    }
VEXLIN_PREFERENCES(VEXLIN_DEFINE_SETTER)
#undef VEXLIN_DEFINE_SETTER

void Preferences::resetShortcuts() {
    setShortcuts(ShortcutMap::defaults());
}

void Preferences::setShortcut(CaptureAction action, std::optional<KeyShortcut> shortcut) {
    ShortcutMap map = shortcuts_;
    map.set(action, shortcut);
    setShortcuts(map);
}

void Preferences::setCameraPosition(const QString& displayKey, std::optional<QPointF> position) {
    CameraPositions positions = cameraPositions_;
    if (position) {
        positions.insert(displayKey, *position);
    } else {
        positions.remove(displayKey);
    }
    setCameraPositions(positions);
}

} // namespace app
