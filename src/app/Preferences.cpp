#include "app/Preferences.h"

#include "app/SettingsFile.h"
#include "app/SettingsValue.h"
#include "platform/MainThread.h"

#include <QHash>
#include <QSettings>

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
    return QString::fromUtf8(cameraPositionsToJson(value));
}
QVariant stored(const ShortcutMap& value) {
    return value.toJson();
}

// Reads of the stored values; whatever does not read as the expected type
// counts as absent and gives the registered default.
class Loader {
public:
    explicit Loader(const QSettings& settings) : settings_(settings) {
        for (const auto& [key, value] : Preferences::registeredDefaults()) {
            defaults_.insert(key, value);
        }
    }

    bool boolean(const QString& key) const {
        return settingsValue::toBool(settings_.value(key)).value_or(registered(key).toBool());
    }

    qint64 integer(const QString& key) const {
        return settingsValue::toInt(settings_.value(key)).value_or(registered(key).toLongLong());
    }

    template <typename E> E choice(const QString& key) const {
        const QString raw =
            settingsValue::toString(settings_.value(key)).value_or(registered(key).toString());
        return fromRawValueOrDefault<E>(raw);
    }

    std::optional<QByteArray> bytes(const QString& key) const {
        return settingsValue::toBytes(settings_.value(key));
    }

    std::optional<QString> string(const QString& key) const {
        return settingsValue::toString(settings_.value(key));
    }

    QStringList stringList(const QString& key) const {
        return settingsValue::toStringList(settings_.value(key)).value_or(QStringList());
    }

private:
    QVariant registered(const QString& key) const {
        Q_ASSERT(defaults_.contains(key));
        return defaults_.value(key);
    }

    const QSettings& settings_;
    QHash<QString, QVariant> defaults_;
};

qint64 oneOf(qint64 value, std::initializer_list<qint64> allowed, qint64 fallback) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end() ? value : fallback;
}

} // namespace

Preferences::Preferences(const QString& filePath, QObject* parent)
    : QObject(parent), settings_(openSettingsFile(filePath)) {
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
    return settings_->fileName();
}

QList<QPair<QString, QVariant>> Preferences::registeredDefaults() {
    return {
        {QStringLiteral("showQuickAccess"), true},
        {QStringLiteral("copyToClipboard"), true},
        {QStringLiteral("saveToDisk"), false},
        {QStringLiteral("openEditor"), false},
        {QStringLiteral("playSounds"), true},
        {QStringLiteral("imageFormat"), QStringLiteral("png")},
        {QStringLiteral("windowShadow"), true},
        {QStringLiteral("showCursor"), false},
        {QStringLiteral("showMagnifier"), true},
        {QStringLiteral("showCrosshair"), true},
        {QStringLiteral("ocrKeepLineBreaks"), true},
        {QStringLiteral("captureTimer"), 0LL},
        {QStringLiteral("autoScrollImmediately"), false},
        {QStringLiteral("recordingFormat"), QStringLiteral("video")},
        {QStringLiteral("recordSystemAudio"), false},
        {QStringLiteral("recordMicrophone"), false},
        {QStringLiteral("recordShowCursor"), true},
        {QStringLiteral("recordWindowsAlone"), true},
        {QStringLiteral("recordHighlightClicks"), false},
        {QStringLiteral("recordShowKeystrokes"), false},
        {QStringLiteral("keystrokeMode"), QStringLiteral("shortcutsOnly")},
        {QStringLiteral("keystrokePosition"), QStringLiteral("bottom")},
        {QStringLiteral("recordingHideNotifications"), false},
        {QStringLiteral("recordShowCamera"), false},
        {QStringLiteral("cameraShape"), QStringLiteral("circle")},
        {QStringLiteral("cameraSize"), QStringLiteral("medium")},
        {QStringLiteral("cameraMirrored"), true},
        {QStringLiteral("recordingFPS"), 30LL},
        {QStringLiteral("recordingQuality"), QStringLiteral("high")},
        {QStringLiteral("recordingRetina"), true},
        {QStringLiteral("recordingCountdown"), 0LL},
        {QStringLiteral("gifFPS"), 15LL},
        {QStringLiteral("gifMaxWidth"), 1000LL},
        {QStringLiteral("quickAccessCorner"), QStringLiteral("bottomLeft")},
        {QStringLiteral("quickAccessAutoClose"), false},
        {QStringLiteral("quickAccessCloseAfter"), 10LL},
        {QStringLiteral("closeEditorAfterExport"), false},
        {QStringLiteral("keepAnnotationsEditable"), true},
        {QStringLiteral("editorShowsRecent"), true},
        {QStringLiteral("hasCompletedOnboarding"), false},
    };
}

void Preferences::load() {
    // Repairs stay in memory: the file keeps what it holds until the setting
    // is next set.
    const Loader in(*settings_);
    showQuickAccess_ = in.boolean(QStringLiteral("showQuickAccess"));
    copyToClipboard_ = in.boolean(QStringLiteral("copyToClipboard"));
    saveToDisk_ = in.boolean(QStringLiteral("saveToDisk"));
    openEditor_ = in.boolean(QStringLiteral("openEditor"));
    playSounds_ = in.boolean(QStringLiteral("playSounds"));
    imageFormat_ = in.choice<ImageFormat>(QStringLiteral("imageFormat"));
    saveFolderBookmark_ = in.bytes(QStringLiteral("saveFolderBookmark"));
    windowShadow_ = in.boolean(QStringLiteral("windowShadow"));
    showCursor_ = in.boolean(QStringLiteral("showCursor"));
    showMagnifier_ = in.boolean(QStringLiteral("showMagnifier"));
    showCrosshair_ = in.boolean(QStringLiteral("showCrosshair"));
    ocrKeepLineBreaks_ = in.boolean(QStringLiteral("ocrKeepLineBreaks"));
    captureTimer_ = oneOf(in.integer(QStringLiteral("captureTimer")), {0, 3, 5, 10}, 0);
    autoScrollImmediately_ = in.boolean(QStringLiteral("autoScrollImmediately"));
    recordingFormat_ = in.choice<Recording::Format>(QStringLiteral("recordingFormat"));
    recordSystemAudio_ = in.boolean(QStringLiteral("recordSystemAudio"));
    recordMicrophone_ = in.boolean(QStringLiteral("recordMicrophone"));
    recordShowCursor_ = in.boolean(QStringLiteral("recordShowCursor"));
    recordWindowsAlone_ = in.boolean(QStringLiteral("recordWindowsAlone"));
    recordHighlightClicks_ = in.boolean(QStringLiteral("recordHighlightClicks"));
    recordShowKeystrokes_ = in.boolean(QStringLiteral("recordShowKeystrokes"));
    keystrokeMode_ = in.choice<KeystrokeMode>(QStringLiteral("keystrokeMode"));
    keystrokePosition_ = in.choice<KeystrokePosition>(QStringLiteral("keystrokePosition"));
    recordingHiddenApps_ = in.stringList(QStringLiteral("recordingHiddenApps"));
    recordingHideNotifications_ = in.boolean(QStringLiteral("recordingHideNotifications"));
    recordShowCamera_ = in.boolean(QStringLiteral("recordShowCamera"));
    cameraDeviceID_ = in.string(QStringLiteral("cameraDeviceID"));
    cameraShape_ = in.choice<CameraShape>(QStringLiteral("cameraShape"));
    cameraSize_ = in.choice<CameraSize>(QStringLiteral("cameraSize"));
    cameraMirrored_ = in.boolean(QStringLiteral("cameraMirrored"));
    cameraPositions_ =
        cameraPositionsFromJson(in.bytes(QStringLiteral("cameraPositions")).value_or(QByteArray()));
    recordingFPS_ = oneOf(in.integer(QStringLiteral("recordingFPS")), {0, 30, 60}, 30);
    recordingQuality_ = in.choice<RecordingQuality>(QStringLiteral("recordingQuality"));
    recordingRetina_ = in.boolean(QStringLiteral("recordingRetina"));
    recordingCountdown_ = std::max<qint64>(in.integer(QStringLiteral("recordingCountdown")), 0);
    gifFPS_ = std::max<qint64>(in.integer(QStringLiteral("gifFPS")), 5);
    gifMaxWidth_ = std::max<qint64>(in.integer(QStringLiteral("gifMaxWidth")), 200);
    quickAccessCorner_ = in.choice<ScreenCorner>(QStringLiteral("quickAccessCorner"));
    quickAccessAutoClose_ = in.boolean(QStringLiteral("quickAccessAutoClose"));
    quickAccessCloseAfter_ =
        std::max<qint64>(in.integer(QStringLiteral("quickAccessCloseAfter")), 3);
    closeEditorAfterExport_ = in.boolean(QStringLiteral("closeEditorAfterExport"));
    keepAnnotationsEditable_ = in.boolean(QStringLiteral("keepAnnotationsEditable"));
    editorShowsRecent_ = in.boolean(QStringLiteral("editorShowsRecent"));
    hasCompletedOnboarding_ = in.boolean(QStringLiteral("hasCompletedOnboarding"));
    const auto storedShortcuts = in.bytes(QStringLiteral("shortcuts"));
    shortcuts_ =
        storedShortcuts ? ShortcutMap::fromJson(*storedShortcuts) : ShortcutMap::defaults();
}

template <typename T, typename Signal>
void Preferences::assign(T& field, const T& value, const QString& key, Signal changed) {
    platform::assertMainThread();
    const bool differs = !(field == value);
    field = value;
    // Written on every set, also when nothing changed; only a real change is
    // announced.
    write(key, stored(field));
    if (differs) {
        const T current = field;
        Q_EMIT(this->*changed)(current);
    }
}

void Preferences::write(const QString& key, const QVariant& value) {
    if (value.isValid()) {
        settings_->setValue(key, value);
    } else {
        settings_->remove(key);
    }
    // Straight to disk, so a crash or a kill loses no setting the user made.
    settings_->sync();
}

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

void Preferences::setShowQuickAccess(bool value) {
    assign(showQuickAccess_, value, QStringLiteral("showQuickAccess"),
           &Preferences::showQuickAccessChanged);
}
void Preferences::setCopyToClipboard(bool value) {
    assign(copyToClipboard_, value, QStringLiteral("copyToClipboard"),
           &Preferences::copyToClipboardChanged);
}
void Preferences::setSaveToDisk(bool value) {
    assign(saveToDisk_, value, QStringLiteral("saveToDisk"), &Preferences::saveToDiskChanged);
}
void Preferences::setOpenEditor(bool value) {
    assign(openEditor_, value, QStringLiteral("openEditor"), &Preferences::openEditorChanged);
}
void Preferences::setPlaySounds(bool value) {
    assign(playSounds_, value, QStringLiteral("playSounds"), &Preferences::playSoundsChanged);
}
void Preferences::setImageFormat(ImageFormat value) {
    assign(imageFormat_, value, QStringLiteral("imageFormat"), &Preferences::imageFormatChanged);
}
void Preferences::setSaveFolderBookmark(const std::optional<QByteArray>& value) {
    assign(saveFolderBookmark_, value, QStringLiteral("saveFolderBookmark"),
           &Preferences::saveFolderBookmarkChanged);
}
void Preferences::setWindowShadow(bool value) {
    assign(windowShadow_, value, QStringLiteral("windowShadow"), &Preferences::windowShadowChanged);
}
void Preferences::setShowCursor(bool value) {
    assign(showCursor_, value, QStringLiteral("showCursor"), &Preferences::showCursorChanged);
}
void Preferences::setShowMagnifier(bool value) {
    assign(showMagnifier_, value, QStringLiteral("showMagnifier"),
           &Preferences::showMagnifierChanged);
}
void Preferences::setShowCrosshair(bool value) {
    assign(showCrosshair_, value, QStringLiteral("showCrosshair"),
           &Preferences::showCrosshairChanged);
}
void Preferences::setOcrKeepLineBreaks(bool value) {
    assign(ocrKeepLineBreaks_, value, QStringLiteral("ocrKeepLineBreaks"),
           &Preferences::ocrKeepLineBreaksChanged);
}
void Preferences::setCaptureTimer(qint64 value) {
    assign(captureTimer_, value, QStringLiteral("captureTimer"), &Preferences::captureTimerChanged);
}
void Preferences::setAutoScrollImmediately(bool value) {
    assign(autoScrollImmediately_, value, QStringLiteral("autoScrollImmediately"),
           &Preferences::autoScrollImmediatelyChanged);
}
void Preferences::setRecordingFormat(Recording::Format value) {
    assign(recordingFormat_, value, QStringLiteral("recordingFormat"),
           &Preferences::recordingFormatChanged);
}
void Preferences::setRecordSystemAudio(bool value) {
    assign(recordSystemAudio_, value, QStringLiteral("recordSystemAudio"),
           &Preferences::recordSystemAudioChanged);
}
void Preferences::setRecordMicrophone(bool value) {
    assign(recordMicrophone_, value, QStringLiteral("recordMicrophone"),
           &Preferences::recordMicrophoneChanged);
}
void Preferences::setRecordShowCursor(bool value) {
    assign(recordShowCursor_, value, QStringLiteral("recordShowCursor"),
           &Preferences::recordShowCursorChanged);
}
void Preferences::setRecordWindowsAlone(bool value) {
    assign(recordWindowsAlone_, value, QStringLiteral("recordWindowsAlone"),
           &Preferences::recordWindowsAloneChanged);
}
void Preferences::setRecordHighlightClicks(bool value) {
    assign(recordHighlightClicks_, value, QStringLiteral("recordHighlightClicks"),
           &Preferences::recordHighlightClicksChanged);
}
void Preferences::setRecordShowKeystrokes(bool value) {
    assign(recordShowKeystrokes_, value, QStringLiteral("recordShowKeystrokes"),
           &Preferences::recordShowKeystrokesChanged);
}
void Preferences::setKeystrokeMode(KeystrokeMode value) {
    assign(keystrokeMode_, value, QStringLiteral("keystrokeMode"),
           &Preferences::keystrokeModeChanged);
}
void Preferences::setKeystrokePosition(KeystrokePosition value) {
    assign(keystrokePosition_, value, QStringLiteral("keystrokePosition"),
           &Preferences::keystrokePositionChanged);
}
void Preferences::setRecordingHiddenApps(const QStringList& value) {
    assign(recordingHiddenApps_, value, QStringLiteral("recordingHiddenApps"),
           &Preferences::recordingHiddenAppsChanged);
}
void Preferences::setRecordingHideNotifications(bool value) {
    assign(recordingHideNotifications_, value, QStringLiteral("recordingHideNotifications"),
           &Preferences::recordingHideNotificationsChanged);
}
void Preferences::setRecordShowCamera(bool value) {
    assign(recordShowCamera_, value, QStringLiteral("recordShowCamera"),
           &Preferences::recordShowCameraChanged);
}
void Preferences::setCameraDeviceID(const std::optional<QString>& value) {
    assign(cameraDeviceID_, value, QStringLiteral("cameraDeviceID"),
           &Preferences::cameraDeviceIDChanged);
}
void Preferences::setCameraShape(CameraShape value) {
    assign(cameraShape_, value, QStringLiteral("cameraShape"), &Preferences::cameraShapeChanged);
}
void Preferences::setCameraSize(CameraSize value) {
    assign(cameraSize_, value, QStringLiteral("cameraSize"), &Preferences::cameraSizeChanged);
}
void Preferences::setCameraMirrored(bool value) {
    assign(cameraMirrored_, value, QStringLiteral("cameraMirrored"),
           &Preferences::cameraMirroredChanged);
}
void Preferences::setCameraPositions(const CameraPositions& value) {
    assign(cameraPositions_, value, QStringLiteral("cameraPositions"),
           &Preferences::cameraPositionsChanged);
}
void Preferences::setRecordingFPS(qint64 value) {
    assign(recordingFPS_, value, QStringLiteral("recordingFPS"), &Preferences::recordingFPSChanged);
}
void Preferences::setRecordingQuality(RecordingQuality value) {
    assign(recordingQuality_, value, QStringLiteral("recordingQuality"),
           &Preferences::recordingQualityChanged);
}
void Preferences::setRecordingRetina(bool value) {
    assign(recordingRetina_, value, QStringLiteral("recordingRetina"),
           &Preferences::recordingRetinaChanged);
}
void Preferences::setRecordingCountdown(qint64 value) {
    assign(recordingCountdown_, value, QStringLiteral("recordingCountdown"),
           &Preferences::recordingCountdownChanged);
}
void Preferences::setGifFPS(qint64 value) {
    assign(gifFPS_, value, QStringLiteral("gifFPS"), &Preferences::gifFPSChanged);
}
void Preferences::setGifMaxWidth(qint64 value) {
    assign(gifMaxWidth_, value, QStringLiteral("gifMaxWidth"), &Preferences::gifMaxWidthChanged);
}
void Preferences::setQuickAccessCorner(ScreenCorner value) {
    assign(quickAccessCorner_, value, QStringLiteral("quickAccessCorner"),
           &Preferences::quickAccessCornerChanged);
}
void Preferences::setQuickAccessAutoClose(bool value) {
    assign(quickAccessAutoClose_, value, QStringLiteral("quickAccessAutoClose"),
           &Preferences::quickAccessAutoCloseChanged);
}
void Preferences::setQuickAccessCloseAfter(qint64 value) {
    assign(quickAccessCloseAfter_, value, QStringLiteral("quickAccessCloseAfter"),
           &Preferences::quickAccessCloseAfterChanged);
}
void Preferences::setCloseEditorAfterExport(bool value) {
    assign(closeEditorAfterExport_, value, QStringLiteral("closeEditorAfterExport"),
           &Preferences::closeEditorAfterExportChanged);
}
void Preferences::setKeepAnnotationsEditable(bool value) {
    assign(keepAnnotationsEditable_, value, QStringLiteral("keepAnnotationsEditable"),
           &Preferences::keepAnnotationsEditableChanged);
}
void Preferences::setEditorShowsRecent(bool value) {
    assign(editorShowsRecent_, value, QStringLiteral("editorShowsRecent"),
           &Preferences::editorShowsRecentChanged);
}
void Preferences::setHasCompletedOnboarding(bool value) {
    assign(hasCompletedOnboarding_, value, QStringLiteral("hasCompletedOnboarding"),
           &Preferences::hasCompletedOnboardingChanged);
}
void Preferences::setShortcuts(const ShortcutMap& value) {
    assign(shortcuts_, value, QStringLiteral("shortcuts"), &Preferences::shortcutsChanged);
}

} // namespace app
