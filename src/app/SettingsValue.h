#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// Typed reads of values from the INI settings file. The file stores text, so a
// value read from disk arrives as a string, while one set earlier in the same
// process still carries its own type; both forms are accepted. A value that
// does not read as the asked-for type gives none, and the caller uses its
// default.
namespace app::settingsValue {

// A boolean, or the strings "true"/"false" (any letter case), "1"/"0".
std::optional<bool> toBool(const QVariant& value);
// A signed 64-bit integer, or its decimal text.
std::optional<qint64> toInt(const QVariant& value);
// A string; lists and bytes are not strings.
std::optional<QString> toString(const QVariant& value);
// Bytes, or text as its UTF-8 bytes.
std::optional<QByteArray> toBytes(const QVariant& value);
// A list of strings. The INI form of a one-element list reads back as a plain
// string, and an empty list as no value; both are mapped back to lists.
std::optional<QStringList> toStringList(const QVariant& value);

} // namespace app::settingsValue
