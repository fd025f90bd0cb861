#pragma once

#include <QString>

#include <optional>

namespace service {

// A plain value of the settings file's General section as the file holds it
// now. QSettings may answer from a cache that misses a change written a
// moment ago, when the file kept its size; the service's keys (numbers, days,
// Booleans) are short texts without escapes, read straight from the file.
std::optional<QString> storedText(const QString& settingsPath, const QString& key);
// "true" or "false"; anything else is no Boolean.
std::optional<bool> storedBool(const QString& settingsPath, const QString& key);

} // namespace service
