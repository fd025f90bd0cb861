#include "app/ShortcutMap.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace app {

namespace {

// Indexed by the action's position: area, window, fullscreen, scrolling, text,
// record, areaCopy, windowCopy, fullscreenCopy.
constexpr std::array<std::uint32_t, 9> kDefaultKeyCodes{21, 23, 20, 22, 19, 26, 21, 23, 20};
constexpr std::uint64_t kShiftOptionCommand = 0x1A0000;
constexpr std::uint64_t kControlShiftOptionCommand = 0x1E0000;
constexpr std::array<std::uint64_t, 9> kDefaultModifiers{
    kShiftOptionCommand,        kShiftOptionCommand,        kShiftOptionCommand,
    kShiftOptionCommand,        kShiftOptionCommand,        kShiftOptionCommand,
    kControlShiftOptionCommand, kControlShiftOptionCommand, kControlShiftOptionCommand};

size_t slot(CaptureAction action) {
    return static_cast<size_t>(index(action));
}

} // namespace

ShortcutMap ShortcutMap::defaults() {
    ShortcutMap map;
    for (size_t i = 0; i < map.entries_.size(); ++i) {
        map.entries_[i] = KeyShortcut{kDefaultKeyCodes[i], kDefaultModifiers[i]};
    }
    return map;
}

ShortcutMap ShortcutMap::fromJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return defaults();
    }
    // Every member has to read, also those we skip: a map with one broken
    // member is not trusted in any of its parts.
    ShortcutMap map = defaults();
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        std::optional<KeyShortcut> shortcut;
        if (!it.value().isNull()) {
            if (!it.value().isObject()) {
                return defaults();
            }
            shortcut = KeyShortcut::fromJson(it.value().toObject());
            if (!shortcut) {
                return defaults();
            }
        }
        if (const auto action = captureActionFromRawValue(it.key())) {
            // A plain key would be taken from every other program; the
            // action goes without a hot key instead.
            if (shortcut && !shortcut->isSafeAsHotKey()) {
                shortcut.reset();
            }
            map.set(*action, shortcut);
        }
    }
    return map;
}

QByteArray ShortcutMap::toJson() const {
    // Written by hand: the members keep action order and each shortcut keeps
    // "keyCode" before "modifiers", where a JSON document would sort them.
    QByteArray json("{");
    for (CaptureAction action : captureActions::allCases()) {
        if (json.size() > 1) {
            json += ',';
        }
        json += '"' + rawValue(action).toLatin1() + "\":";
        if (const auto shortcut = value(action)) {
            const QJsonObject stored = shortcut->toJson();
            json += "{\"keyCode\":" + QByteArray::number(stored.value("keyCode").toInteger()) +
                    ",\"modifiers\":" + QByteArray::number(stored.value("modifiers").toInteger()) +
                    '}';
        } else {
            json += "null";
        }
    }
    json += '}';
    return json;
}

std::optional<KeyShortcut> ShortcutMap::value(CaptureAction action) const {
    return entries_.at(slot(action));
}

void ShortcutMap::set(CaptureAction action, std::optional<KeyShortcut> shortcut) {
    entries_.at(slot(action)) = shortcut;
}

} // namespace app
