#pragma once

#include "app/CameraPositions.h"
#include "app/Recording.h"
#include "app/SettingDescriptor.h"
#include "app/SettingsEnums.h"
#include "app/ShortcutMap.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

class QSettings;

namespace app {

// Every setting of the store, one line each, in load order:
//   X(type, name, Name, default, registration, load rule)
// `name` is the property and the settings-file key, `Name` the same with a
// capital for the setter (setName); the change signal is nameChanged. The
// registration is `registered` for a default that registeredDefaults() lists
// (booleans, integers and choices only), else `unregistered`. The load rule
// repairs a stored integer: `oneOf(values…)` (any other value loads as the
// default) or `within(minimum, maximum)` (a value outside loads as the nearer
// end); every other setting takes `keep`. From this
// list follow the property, its accessors, signal and field, the registered
// defaults, the load with its repairs, the write-through on set and
// Preferences::declarations(). The default, registration and rule are read
// only in Preferences.cpp, where their words are defined. A new setting needs
// one line here, and its rows in the tests.
#define VEXLIN_PREFERENCES(X)                                                                      \
    X(bool, showQuickAccess, ShowQuickAccess, true, registered, keep)                              \
    X(bool, copyToClipboard, CopyToClipboard, true, registered, keep)                              \
    X(bool, saveToDisk, SaveToDisk, false, registered, keep)                                       \
    X(bool, openEditor, OpenEditor, false, registered, keep)                                       \
    X(bool, playSounds, PlaySounds, true, registered, keep)                                        \
    X(ImageFormat, imageFormat, ImageFormat, ImageFormat::png, registered, keep)                   \
    X(OptionalBytes, saveFolderBookmark, SaveFolderBookmark, std::nullopt, unregistered, keep)     \
    X(bool, windowShadow, WindowShadow, true, registered, keep)                                    \
    X(bool, showCursor, ShowCursor, false, registered, keep)                                       \
    X(bool, showMagnifier, ShowMagnifier, true, registered, keep)                                  \
    X(bool, showCrosshair, ShowCrosshair, true, registered, keep)                                  \
    X(bool, ocrKeepLineBreaks, OcrKeepLineBreaks, true, registered, keep)                          \
    X(qint64, captureTimer, CaptureTimer, 0, registered, oneOf(0, 3, 5, 10))                       \
    X(bool, autoScrollImmediately, AutoScrollImmediately, false, registered, keep)                 \
    X(Recording::Format, recordingFormat, RecordingFormat, Recording::Format::video, registered,   \
      keep)                                                                                        \
    X(bool, recordSystemAudio, RecordSystemAudio, false, registered, keep)                         \
    X(bool, recordMicrophone, RecordMicrophone, false, registered, keep)                           \
    X(bool, recordShowCursor, RecordShowCursor, true, registered, keep)                            \
    X(bool, recordWindowsAlone, RecordWindowsAlone, true, registered, keep)                        \
    X(bool, recordHighlightClicks, RecordHighlightClicks, false, registered, keep)                 \
    X(bool, recordShowKeystrokes, RecordShowKeystrokes, false, registered, keep)                   \
    X(KeystrokeMode, keystrokeMode, KeystrokeMode, KeystrokeMode::shortcutsOnly, registered, keep) \
    X(KeystrokePosition, keystrokePosition, KeystrokePosition, KeystrokePosition::bottom,          \
      registered, keep)                                                                            \
    X(QStringList, recordingHiddenApps, RecordingHiddenApps, QStringList(), unregistered, keep)    \
    X(bool, recordingHideNotifications, RecordingHideNotifications, false, registered, keep)       \
    X(bool, recordShowCamera, RecordShowCamera, false, registered, keep)                           \
    X(OptionalString, cameraDeviceID, CameraDeviceID, std::nullopt, unregistered, keep)            \
    X(CameraShape, cameraShape, CameraShape, CameraShape::circle, registered, keep)                \
    X(CameraSize, cameraSize, CameraSize, CameraSize::medium, registered, keep)                    \
    X(bool, cameraMirrored, CameraMirrored, true, registered, keep)                                \
    X(CameraPositions, cameraPositions, CameraPositions, CameraPositions(), unregistered, keep)    \
    X(qint64, recordingFPS, RecordingFPS, 30, registered, oneOf(0, 30, 60))                        \
    X(RecordingQuality, recordingQuality, RecordingQuality, RecordingQuality::high, registered,    \
      keep)                                                                                        \
    X(bool, recordingRetina, RecordingRetina, true, registered, keep)                              \
    X(qint64, recordingCountdown, RecordingCountdown, 0, registered, within(0, 99))                \
    X(qint64, gifFPS, GifFPS, 15, registered, within(5, 100))                                      \
    X(qint64, gifMaxWidth, GifMaxWidth, 1000, registered, within(200, 16384))                      \
    X(ScreenCorner, quickAccessCorner, QuickAccessCorner, ScreenCorner::bottomLeft, registered,    \
      keep)                                                                                        \
    X(bool, quickAccessAutoClose, QuickAccessAutoClose, false, registered, keep)                   \
    X(qint64, quickAccessCloseAfter, QuickAccessCloseAfter, 10, registered, within(3, 3600))       \
    X(bool, closeEditorAfterExport, CloseEditorAfterExport, false, registered, keep)               \
    X(bool, keepAnnotationsEditable, KeepAnnotationsEditable, true, registered, keep)              \
    X(bool, editorShowsRecent, EditorShowsRecent, true, registered, keep)                          \
    X(bool, hasCompletedOnboarding, HasCompletedOnboarding, false, registered, keep)               \
    X(ShortcutMap, shortcuts, Shortcuts, ShortcutMap::defaults(), unregistered, keep)

// What each line of the list declares inside the class. moc expands it like
// the compiler, so the properties and signals are real Qt ones.
#define VEXLIN_PREFERENCE_MEMBERS(Type, name, Name, ...)                                           \
    Q_PROPERTY(Type name READ name WRITE set##Name NOTIFY name##Changed)                           \
public:                                                                                            \
    Type name() const {                                                                            \
        return name##_;                                                                            \
    }                                                                                              \
    void set##Name(const Type& value);                                                             \
    Q_SIGNAL void name##Changed(const Type& value);                                                \
                                                                                                   \
private:                                                                                           \
    Type name##_{};

// The program's one settings store. Every setting is a typed property whose
// settings-file key is the property's name. The file is read once, when the
// store is made: a value that is missing, of the wrong type or out of range
// loads as its default (in memory only). From then on every set writes the
// value through to the file at once, changing only that key's entry, and the
// property's change signal fires only when the value really changed. When the
// file cannot be written the value stays in effect in memory and the user is
// told once per run, through FilePanels, which file and why.
class Preferences : public QObject {
    Q_OBJECT

public:
    using OptionalBytes = std::optional<QByteArray>;
    using OptionalString = std::optional<QString>;

    // Loads the store from the given INI file; the file need not exist yet.
    explicit Preferences(const QString& filePath, QObject* parent = nullptr);
    ~Preferences() override;

    // The store over the program's settings file (settingsFilePath()), made on
    // first use and kept for the life of the program. Main thread only.
    static Preferences& shared();

    // Every setting as declared, in load order.
    static const QList<SettingDescriptor>& declarations();

    // The 40 keys that have a registered default, in registration order, each
    // with the value a read gives while the key holds nothing.
    static QList<QPair<QString, QVariant>> registeredDefaults();

    QString filePath() const;

    // Puts every shortcut back to its shipped default.
    void resetShortcuts();
    // Sets or clears (disables) the shortcut of one action.
    void setShortcut(CaptureAction action, std::optional<KeyShortcut> shortcut);
    // Sets or clears the camera bubble position of one display.
    void setCameraPosition(const QString& displayKey, std::optional<QPointF> position);

    VEXLIN_PREFERENCES(VEXLIN_PREFERENCE_MEMBERS)

private:
    void load();
    template <typename T>
    void assign(T& field, const T& value, const QString& key,
                void (Preferences::*changed)(const T&));
    void write(const QString& key, const QVariant& value);

    QString filePath_;
    // The camera positions as loaded from the JSON form of earlier builds.
    // While they are unchanged they are written back in that form, so a file
    // nobody changed keeps its bytes; the first real change writes the map.
    std::optional<CameraPositions> cameraPositionsAsJson_;
    // A failed write is said once per run; later failures stay quiet.
    bool toldWriteFailure_ = false;
};

#undef VEXLIN_PREFERENCE_MEMBERS

} // namespace app
