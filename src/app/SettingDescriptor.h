#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace app {

// What a setting holds, so that a view over all settings can pick a control
// for each without knowing the setting.
enum class SettingKind {
    boolean,
    integer,
    choice,          // one case of an enumeration, stored as its raw string
    data,            // optional bytes; none removes the key
    text,            // optional string; none removes the key
    textList,        // list of strings
    cameraPositions, // display key -> point
    shortcuts,       // capture action -> key shortcut
};

// How a stored integer is repaired on load. With allowed values, any other
// value loads as the setting's default; with a range, a value outside it
// loads as its nearer end, so a huge stored number never reaches a reader
// that narrows it (to a timer's milliseconds, say). A rule without either
// keeps every value.
struct IntegerRule {
    QList<qint64> allowed;
    std::optional<qint64> minimum;
    std::optional<qint64> maximum;

    qint64 repaired(qint64 value, qint64 fallback) const {
        if (!allowed.isEmpty() && !allowed.contains(value)) {
            return fallback;
        }
        if (minimum && value < *minimum) {
            return *minimum;
        }
        return maximum && value > *maximum ? *maximum : value;
    }

    friend bool operator==(const IntegerRule&, const IntegerRule&) = default;
};

// One setting of the settings store as it is declared there.
struct SettingDescriptor {
    // The settings-file key, which is also the name of the store's property;
    // its change signal is the key followed by "Changed".
    QString key;
    SettingKind kind = SettingKind::boolean;
    // What the setting holds when its key holds nothing readable, in the
    // property's own type.
    QVariant defaultValue;
    // Whether the default is one of Preferences::registeredDefaults().
    bool registered = false;
    // Choice settings: the raw values of the cases, in case order.
    QStringList choices;
    // Integer settings: the repair applied on load.
    IntegerRule rule;
};

} // namespace app
