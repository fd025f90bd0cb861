#include "app/SettingsEnums.h"

#include <QCoreApplication>

#include <array>
#include <utility>

namespace app {

namespace {

template <typename E, size_t N> using RawTable = std::array<std::pair<E, const char*>, N>;

constexpr RawTable<ImageFormat, 2> kImageFormats{{
    {ImageFormat::png, "png"},
    {ImageFormat::jpeg, "jpeg"},
}};
constexpr RawTable<RecordingQuality, 2> kRecordingQualities{{
    {RecordingQuality::high, "high"},
    {RecordingQuality::standard, "standard"},
}};
constexpr RawTable<ScreenCorner, 2> kScreenCorners{{
    {ScreenCorner::bottomLeft, "bottomLeft"},
    {ScreenCorner::bottomRight, "bottomRight"},
}};
constexpr RawTable<KeystrokeMode, 2> kKeystrokeModes{{
    {KeystrokeMode::shortcutsOnly, "shortcutsOnly"},
    {KeystrokeMode::allKeys, "allKeys"},
}};
constexpr RawTable<KeystrokePosition, 4> kKeystrokePositions{{
    {KeystrokePosition::bottom, "bottom"},
    {KeystrokePosition::top, "top"},
    {KeystrokePosition::left, "left"},
    {KeystrokePosition::right, "right"},
}};
constexpr RawTable<CameraShape, 2> kCameraShapes{{
    {CameraShape::circle, "circle"},
    {CameraShape::roundedRectangle, "roundedRectangle"},
}};
constexpr RawTable<CameraSize, 3> kCameraSizes{{
    {CameraSize::small, "small"},
    {CameraSize::medium, "medium"},
    {CameraSize::large, "large"},
}};

template <typename E, size_t N> constexpr std::array<E, N> casesOf(const RawTable<E, N>& table) {
    std::array<E, N> cases{};
    for (size_t i = 0; i < N; ++i) {
        cases[i] = table[i].first;
    }
    return cases;
}

template <typename E, size_t N> QString rawOf(const RawTable<E, N>& table, E value) {
    for (const auto& [entry, raw] : table) {
        if (entry == value) {
            return QString::fromLatin1(raw);
        }
    }
    return {};
}

template <typename E, size_t N>
std::optional<E> parse(const RawTable<E, N>& table, const QString& raw) {
    for (const auto& [entry, text] : table) {
        if (raw == QLatin1String(text)) {
            return entry;
        }
    }
    return std::nullopt;
}

} // namespace

#define VEXLIN_DEFINE_SETTINGS_ENUM(E, table, fallback)                                            \
    QString rawValue(E value) {                                                                    \
        return rawOf(table, value);                                                                \
    }                                                                                              \
    template <> std::span<const E> allCases<E>() {                                                 \
        static constexpr auto cases = casesOf(table);                                              \
        return cases;                                                                              \
    }                                                                                              \
    template <> E defaultCase<E>() {                                                               \
        return fallback;                                                                           \
    }                                                                                              \
    template <> std::optional<E> fromRawValue<E>(const QString& raw) {                             \
        return parse(table, raw);                                                                  \
    }

VEXLIN_DEFINE_SETTINGS_ENUM(ImageFormat, kImageFormats, ImageFormat::png)
VEXLIN_DEFINE_SETTINGS_ENUM(RecordingQuality, kRecordingQualities, RecordingQuality::high)
VEXLIN_DEFINE_SETTINGS_ENUM(ScreenCorner, kScreenCorners, ScreenCorner::bottomLeft)
VEXLIN_DEFINE_SETTINGS_ENUM(KeystrokeMode, kKeystrokeModes, KeystrokeMode::shortcutsOnly)
VEXLIN_DEFINE_SETTINGS_ENUM(KeystrokePosition, kKeystrokePositions, KeystrokePosition::bottom)
VEXLIN_DEFINE_SETTINGS_ENUM(CameraShape, kCameraShapes, CameraShape::circle)
VEXLIN_DEFINE_SETTINGS_ENUM(CameraSize, kCameraSizes, CameraSize::medium)

#undef VEXLIN_DEFINE_SETTINGS_ENUM

QString fileExtension(ImageFormat format) {
    return format == ImageFormat::jpeg ? QStringLiteral("jpg") : QStringLiteral("png");
}

QString mimeType(ImageFormat format) {
    return format == ImageFormat::jpeg ? QStringLiteral("image/jpeg") : QStringLiteral("image/png");
}

QString title(RecordingQuality value) {
    switch (value) {
    case RecordingQuality::high:
        //: Video recording quality
        return QCoreApplication::translate("RecordingQuality", "High");
    case RecordingQuality::standard:
        //: Video recording quality
        return QCoreApplication::translate("RecordingQuality", "Standard");
    }
    return {};
}

QString title(ScreenCorner value) {
    switch (value) {
    case ScreenCorner::bottomLeft:
        //: Screen corner for Quick Access thumbnails: bottom left
        return QCoreApplication::translate("ScreenCorner", "Left");
    case ScreenCorner::bottomRight:
        //: Screen corner for Quick Access thumbnails: bottom right
        return QCoreApplication::translate("ScreenCorner", "Right");
    }
    return {};
}

QString title(KeystrokeMode value) {
    switch (value) {
    case KeystrokeMode::shortcutsOnly:
        //: Keystroke display mode: only key combinations like Ctrl+C
        return QCoreApplication::translate("KeystrokeMode", "Shortcuts only");
    case KeystrokeMode::allKeys:
        //: Keystroke display mode: every key, plain typing included
        return QCoreApplication::translate("KeystrokeMode", "All keys");
    }
    return {};
}

QString title(KeystrokePosition value) {
    switch (value) {
    case KeystrokePosition::bottom:
        //: Keystroke display position: bottom edge of the recorded area
        return QCoreApplication::translate("KeystrokePosition", "Bottom");
    case KeystrokePosition::top:
        //: Keystroke display position: top edge of the recorded area
        return QCoreApplication::translate("KeystrokePosition", "Top");
    case KeystrokePosition::left:
        //: Keystroke display position: left edge of the recorded area
        return QCoreApplication::translate("KeystrokePosition", "Left");
    case KeystrokePosition::right:
        //: Keystroke display position: right edge of the recorded area
        return QCoreApplication::translate("KeystrokePosition", "Right");
    }
    return {};
}

QString title(CameraShape value) {
    switch (value) {
    case CameraShape::circle:
        //: Camera bubble shape
        return QCoreApplication::translate("CameraShape", "Circle");
    case CameraShape::roundedRectangle:
        //: Camera bubble shape
        return QCoreApplication::translate("CameraShape", "Rounded rectangle");
    }
    return {};
}

QString title(CameraSize value) {
    switch (value) {
    case CameraSize::small:
        //: Camera bubble size
        return QCoreApplication::translate("CameraSize", "Small");
    case CameraSize::medium:
        //: Camera bubble size
        return QCoreApplication::translate("CameraSize", "Medium");
    case CameraSize::large:
        //: Camera bubble size
        return QCoreApplication::translate("CameraSize", "Large");
    }
    return {};
}

} // namespace app
