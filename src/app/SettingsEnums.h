#pragma once

#include <QString>

#include <optional>
#include <span>

// The choice-valued settings. Each is stored as its raw string; the case
// numbers follow the declaration order.
namespace app {

enum class ImageFormat { png, jpeg };
enum class RecordingQuality { high, standard };
enum class ScreenCorner { bottomLeft, bottomRight };
enum class KeystrokeMode { shortcutsOnly, allKeys };
enum class KeystrokePosition { bottom, top, left, right };
enum class CameraShape { circle, roundedRectangle };
enum class CameraSize { small, medium, large };

QString rawValue(ImageFormat value);
QString rawValue(RecordingQuality value);
QString rawValue(ScreenCorner value);
QString rawValue(KeystrokeMode value);
QString rawValue(KeystrokePosition value);
QString rawValue(CameraShape value);
QString rawValue(CameraSize value);

// Localized titles as the settings pickers show them. The image format has
// none: its picker shows the fixed names "PNG" and "JPEG".
QString title(RecordingQuality value);
QString title(ScreenCorner value);
QString title(KeystrokeMode value);
QString title(KeystrokePosition value);
QString title(CameraShape value);
QString title(CameraSize value);

// File extension ("png", "jpg") and MIME type of the files written in a format.
QString fileExtension(ImageFormat format);
QString mimeType(ImageFormat format);

// Every case in declaration order, and the case a stored string that is not
// one of the raw values falls back to.
template <typename E> std::span<const E> allCases();
template <typename E> E defaultCase();

// Exact, case-sensitive match of one of the raw values.
template <typename E> std::optional<E> fromRawValue(const QString& raw);

// What a stored string loads as: its case, or the default case when the
// string is none of the raw values.
template <typename E> E fromRawValueOrDefault(const QString& raw) {
    return fromRawValue<E>(raw).value_or(defaultCase<E>());
}

#define VEXLIN_DECLARE_SETTINGS_ENUM(E)                                                            \
    template <> std::span<const E> allCases<E>();                                                  \
    template <> E defaultCase<E>();                                                                \
    template <> std::optional<E> fromRawValue<E>(const QString& raw);

VEXLIN_DECLARE_SETTINGS_ENUM(ImageFormat)
VEXLIN_DECLARE_SETTINGS_ENUM(RecordingQuality)
VEXLIN_DECLARE_SETTINGS_ENUM(ScreenCorner)
VEXLIN_DECLARE_SETTINGS_ENUM(KeystrokeMode)
VEXLIN_DECLARE_SETTINGS_ENUM(KeystrokePosition)
VEXLIN_DECLARE_SETTINGS_ENUM(CameraShape)
VEXLIN_DECLARE_SETTINGS_ENUM(CameraSize)

#undef VEXLIN_DECLARE_SETTINGS_ENUM

} // namespace app
