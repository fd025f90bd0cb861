#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <system_error>

class QSettings;

namespace app {

// The one settings file of the program: INI at
// $XDG_CONFIG_HOME/Vexlin/VexlinCapture.conf. Besides the settings store, a
// few subsystems keep keys of their own in it ("customAnnotationColors",
// "reviewSent", the update keys).
QString settingsFilePath();

// A QSettings in INI format over the given file (by default the program's).
std::unique_ptr<QSettings> openSettingsFile(const QString& path = settingsFilePath());

// Edits of the settings file one key at a time. QSettings rewrites the whole
// file on every change, in its own form, and reads it as UTF-8, which loses
// bytes that are not (a save folder's path may be any bytes). These change the
// one entry of a key in the General section and leave every other byte of the
// file as it was; values are written in the form QSettings writes and reads.
namespace settingsFile {

// The value as QSettings writes it in an INI file. Takes booleans, integers,
// strings, string lists, bytes and maps.
QByteArray encodedValue(const QVariant& value);

// The file's text with key of the General section set to value, or removed
// when value is invalid. Only the key's own entries change: a stored entry
// gets the new value in place (the last one, which is the one a reader
// takes), a new one is added among the section's keys in sorted order, and a
// removal takes out every entry of the key.
QByteArray withValue(const QByteArray& ini, const QString& key, const QVariant& value);

// The raw bytes of key's value in the General section as the file holds them,
// before any unescaping; nothing when the key is absent.
std::optional<QByteArray> rawValue(const QByteArray& ini, const QString& key);

// Sets (or with an invalid value removes) key in the file at path, creating
// the file and its folder if needed. The file is replaced atomically: on
// failure it is as it was, and the error says why.
std::error_code writeValue(const QString& path, const QString& key, const QVariant& value);

} // namespace settingsFile

} // namespace app
