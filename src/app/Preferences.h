#pragma once

#include "app/CameraPositions.h"
#include "app/Recording.h"
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

// The program's one settings store. Every setting is a typed property whose
// settings-file key is the property's name. The file is read once, when the
// store is made: a value that is missing, of the wrong type or out of range
// loads as its default (in memory only). From then on every set writes the
// value through to the file at once, and the property's change signal fires
// only when the value really changed.
class Preferences : public QObject {
    Q_OBJECT

public:
    using OptionalBytes = std::optional<QByteArray>;
    using OptionalString = std::optional<QString>;

    Q_PROPERTY(bool showQuickAccess READ showQuickAccess WRITE setShowQuickAccess NOTIFY
                   showQuickAccessChanged)
    Q_PROPERTY(bool copyToClipboard READ copyToClipboard WRITE setCopyToClipboard NOTIFY
                   copyToClipboardChanged)
    Q_PROPERTY(bool saveToDisk READ saveToDisk WRITE setSaveToDisk NOTIFY saveToDiskChanged)
    Q_PROPERTY(bool openEditor READ openEditor WRITE setOpenEditor NOTIFY openEditorChanged)
    Q_PROPERTY(bool playSounds READ playSounds WRITE setPlaySounds NOTIFY playSoundsChanged)
    Q_PROPERTY(
        ImageFormat imageFormat READ imageFormat WRITE setImageFormat NOTIFY imageFormatChanged)
    Q_PROPERTY(OptionalBytes saveFolderBookmark READ saveFolderBookmark WRITE setSaveFolderBookmark
                   NOTIFY saveFolderBookmarkChanged)
    Q_PROPERTY(bool windowShadow READ windowShadow WRITE setWindowShadow NOTIFY windowShadowChanged)
    Q_PROPERTY(bool showCursor READ showCursor WRITE setShowCursor NOTIFY showCursorChanged)
    Q_PROPERTY(
        bool showMagnifier READ showMagnifier WRITE setShowMagnifier NOTIFY showMagnifierChanged)
    Q_PROPERTY(
        bool showCrosshair READ showCrosshair WRITE setShowCrosshair NOTIFY showCrosshairChanged)
    Q_PROPERTY(bool ocrKeepLineBreaks READ ocrKeepLineBreaks WRITE setOcrKeepLineBreaks NOTIFY
                   ocrKeepLineBreaksChanged)
    Q_PROPERTY(
        qint64 captureTimer READ captureTimer WRITE setCaptureTimer NOTIFY captureTimerChanged)
    Q_PROPERTY(bool autoScrollImmediately READ autoScrollImmediately WRITE setAutoScrollImmediately
                   NOTIFY autoScrollImmediatelyChanged)
    Q_PROPERTY(Recording::Format recordingFormat READ recordingFormat WRITE setRecordingFormat
                   NOTIFY recordingFormatChanged)
    Q_PROPERTY(bool recordSystemAudio READ recordSystemAudio WRITE setRecordSystemAudio NOTIFY
                   recordSystemAudioChanged)
    Q_PROPERTY(bool recordMicrophone READ recordMicrophone WRITE setRecordMicrophone NOTIFY
                   recordMicrophoneChanged)
    Q_PROPERTY(bool recordShowCursor READ recordShowCursor WRITE setRecordShowCursor NOTIFY
                   recordShowCursorChanged)
    Q_PROPERTY(bool recordWindowsAlone READ recordWindowsAlone WRITE setRecordWindowsAlone NOTIFY
                   recordWindowsAloneChanged)
    Q_PROPERTY(bool recordHighlightClicks READ recordHighlightClicks WRITE setRecordHighlightClicks
                   NOTIFY recordHighlightClicksChanged)
    Q_PROPERTY(bool recordShowKeystrokes READ recordShowKeystrokes WRITE setRecordShowKeystrokes
                   NOTIFY recordShowKeystrokesChanged)
    Q_PROPERTY(KeystrokeMode keystrokeMode READ keystrokeMode WRITE setKeystrokeMode NOTIFY
                   keystrokeModeChanged)
    Q_PROPERTY(KeystrokePosition keystrokePosition READ keystrokePosition WRITE setKeystrokePosition
                   NOTIFY keystrokePositionChanged)
    Q_PROPERTY(QStringList recordingHiddenApps READ recordingHiddenApps WRITE setRecordingHiddenApps
                   NOTIFY recordingHiddenAppsChanged)
    Q_PROPERTY(bool recordingHideNotifications READ recordingHideNotifications WRITE
                   setRecordingHideNotifications NOTIFY recordingHideNotificationsChanged)
    Q_PROPERTY(bool recordShowCamera READ recordShowCamera WRITE setRecordShowCamera NOTIFY
                   recordShowCameraChanged)
    Q_PROPERTY(OptionalString cameraDeviceID READ cameraDeviceID WRITE setCameraDeviceID NOTIFY
                   cameraDeviceIDChanged)
    Q_PROPERTY(
        CameraShape cameraShape READ cameraShape WRITE setCameraShape NOTIFY cameraShapeChanged)
    Q_PROPERTY(CameraSize cameraSize READ cameraSize WRITE setCameraSize NOTIFY cameraSizeChanged)
    Q_PROPERTY(bool cameraMirrored READ cameraMirrored WRITE setCameraMirrored NOTIFY
                   cameraMirroredChanged)
    Q_PROPERTY(CameraPositions cameraPositions READ cameraPositions WRITE setCameraPositions NOTIFY
                   cameraPositionsChanged)
    Q_PROPERTY(
        qint64 recordingFPS READ recordingFPS WRITE setRecordingFPS NOTIFY recordingFPSChanged)
    Q_PROPERTY(RecordingQuality recordingQuality READ recordingQuality WRITE setRecordingQuality
                   NOTIFY recordingQualityChanged)
    Q_PROPERTY(bool recordingRetina READ recordingRetina WRITE setRecordingRetina NOTIFY
                   recordingRetinaChanged)
    Q_PROPERTY(qint64 recordingCountdown READ recordingCountdown WRITE setRecordingCountdown NOTIFY
                   recordingCountdownChanged)
    Q_PROPERTY(qint64 gifFPS READ gifFPS WRITE setGifFPS NOTIFY gifFPSChanged)
    Q_PROPERTY(qint64 gifMaxWidth READ gifMaxWidth WRITE setGifMaxWidth NOTIFY gifMaxWidthChanged)
    Q_PROPERTY(ScreenCorner quickAccessCorner READ quickAccessCorner WRITE setQuickAccessCorner
                   NOTIFY quickAccessCornerChanged)
    Q_PROPERTY(bool quickAccessAutoClose READ quickAccessAutoClose WRITE setQuickAccessAutoClose
                   NOTIFY quickAccessAutoCloseChanged)
    Q_PROPERTY(qint64 quickAccessCloseAfter READ quickAccessCloseAfter WRITE
                   setQuickAccessCloseAfter NOTIFY quickAccessCloseAfterChanged)
    Q_PROPERTY(bool closeEditorAfterExport READ closeEditorAfterExport WRITE
                   setCloseEditorAfterExport NOTIFY closeEditorAfterExportChanged)
    Q_PROPERTY(bool keepAnnotationsEditable READ keepAnnotationsEditable WRITE
                   setKeepAnnotationsEditable NOTIFY keepAnnotationsEditableChanged)
    Q_PROPERTY(bool editorShowsRecent READ editorShowsRecent WRITE setEditorShowsRecent NOTIFY
                   editorShowsRecentChanged)
    Q_PROPERTY(bool hasCompletedOnboarding READ hasCompletedOnboarding WRITE
                   setHasCompletedOnboarding NOTIFY hasCompletedOnboardingChanged)
    Q_PROPERTY(ShortcutMap shortcuts READ shortcuts WRITE setShortcuts NOTIFY shortcutsChanged)

public:
    // Loads the store from the given INI file; the file need not exist yet.
    explicit Preferences(const QString& filePath, QObject* parent = nullptr);
    ~Preferences() override;

    // The store over the program's settings file (settingsFilePath()), made on
    // first use and kept for the life of the program. Main thread only.
    static Preferences& shared();

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

    bool showQuickAccess() const { return showQuickAccess_; }
    void setShowQuickAccess(bool value);
    bool copyToClipboard() const { return copyToClipboard_; }
    void setCopyToClipboard(bool value);
    bool saveToDisk() const { return saveToDisk_; }
    void setSaveToDisk(bool value);
    bool openEditor() const { return openEditor_; }
    void setOpenEditor(bool value);
    bool playSounds() const { return playSounds_; }
    void setPlaySounds(bool value);
    ImageFormat imageFormat() const { return imageFormat_; }
    void setImageFormat(ImageFormat value);
    std::optional<QByteArray> saveFolderBookmark() const { return saveFolderBookmark_; }
    void setSaveFolderBookmark(const std::optional<QByteArray>& value);
    bool windowShadow() const { return windowShadow_; }
    void setWindowShadow(bool value);
    bool showCursor() const { return showCursor_; }
    void setShowCursor(bool value);
    bool showMagnifier() const { return showMagnifier_; }
    void setShowMagnifier(bool value);
    bool showCrosshair() const { return showCrosshair_; }
    void setShowCrosshair(bool value);
    bool ocrKeepLineBreaks() const { return ocrKeepLineBreaks_; }
    void setOcrKeepLineBreaks(bool value);
    qint64 captureTimer() const { return captureTimer_; }
    void setCaptureTimer(qint64 value);
    bool autoScrollImmediately() const { return autoScrollImmediately_; }
    void setAutoScrollImmediately(bool value);
    Recording::Format recordingFormat() const { return recordingFormat_; }
    void setRecordingFormat(Recording::Format value);
    bool recordSystemAudio() const { return recordSystemAudio_; }
    void setRecordSystemAudio(bool value);
    bool recordMicrophone() const { return recordMicrophone_; }
    void setRecordMicrophone(bool value);
    bool recordShowCursor() const { return recordShowCursor_; }
    void setRecordShowCursor(bool value);
    bool recordWindowsAlone() const { return recordWindowsAlone_; }
    void setRecordWindowsAlone(bool value);
    bool recordHighlightClicks() const { return recordHighlightClicks_; }
    void setRecordHighlightClicks(bool value);
    bool recordShowKeystrokes() const { return recordShowKeystrokes_; }
    void setRecordShowKeystrokes(bool value);
    KeystrokeMode keystrokeMode() const { return keystrokeMode_; }
    void setKeystrokeMode(KeystrokeMode value);
    KeystrokePosition keystrokePosition() const { return keystrokePosition_; }
    void setKeystrokePosition(KeystrokePosition value);
    QStringList recordingHiddenApps() const { return recordingHiddenApps_; }
    void setRecordingHiddenApps(const QStringList& value);
    bool recordingHideNotifications() const { return recordingHideNotifications_; }
    void setRecordingHideNotifications(bool value);
    bool recordShowCamera() const { return recordShowCamera_; }
    void setRecordShowCamera(bool value);
    std::optional<QString> cameraDeviceID() const { return cameraDeviceID_; }
    void setCameraDeviceID(const std::optional<QString>& value);
    CameraShape cameraShape() const { return cameraShape_; }
    void setCameraShape(CameraShape value);
    CameraSize cameraSize() const { return cameraSize_; }
    void setCameraSize(CameraSize value);
    bool cameraMirrored() const { return cameraMirrored_; }
    void setCameraMirrored(bool value);
    CameraPositions cameraPositions() const { return cameraPositions_; }
    void setCameraPositions(const CameraPositions& value);
    qint64 recordingFPS() const { return recordingFPS_; }
    void setRecordingFPS(qint64 value);
    RecordingQuality recordingQuality() const { return recordingQuality_; }
    void setRecordingQuality(RecordingQuality value);
    bool recordingRetina() const { return recordingRetina_; }
    void setRecordingRetina(bool value);
    qint64 recordingCountdown() const { return recordingCountdown_; }
    void setRecordingCountdown(qint64 value);
    qint64 gifFPS() const { return gifFPS_; }
    void setGifFPS(qint64 value);
    qint64 gifMaxWidth() const { return gifMaxWidth_; }
    void setGifMaxWidth(qint64 value);
    ScreenCorner quickAccessCorner() const { return quickAccessCorner_; }
    void setQuickAccessCorner(ScreenCorner value);
    bool quickAccessAutoClose() const { return quickAccessAutoClose_; }
    void setQuickAccessAutoClose(bool value);
    qint64 quickAccessCloseAfter() const { return quickAccessCloseAfter_; }
    void setQuickAccessCloseAfter(qint64 value);
    bool closeEditorAfterExport() const { return closeEditorAfterExport_; }
    void setCloseEditorAfterExport(bool value);
    bool keepAnnotationsEditable() const { return keepAnnotationsEditable_; }
    void setKeepAnnotationsEditable(bool value);
    bool editorShowsRecent() const { return editorShowsRecent_; }
    void setEditorShowsRecent(bool value);
    bool hasCompletedOnboarding() const { return hasCompletedOnboarding_; }
    void setHasCompletedOnboarding(bool value);
    ShortcutMap shortcuts() const { return shortcuts_; }
    void setShortcuts(const ShortcutMap& value);

Q_SIGNALS:
    void showQuickAccessChanged(bool value);
    void copyToClipboardChanged(bool value);
    void saveToDiskChanged(bool value);
    void openEditorChanged(bool value);
    void playSoundsChanged(bool value);
    void imageFormatChanged(ImageFormat value);
    void saveFolderBookmarkChanged(const std::optional<QByteArray>& value);
    void windowShadowChanged(bool value);
    void showCursorChanged(bool value);
    void showMagnifierChanged(bool value);
    void showCrosshairChanged(bool value);
    void ocrKeepLineBreaksChanged(bool value);
    void captureTimerChanged(qint64 value);
    void autoScrollImmediatelyChanged(bool value);
    void recordingFormatChanged(Recording::Format value);
    void recordSystemAudioChanged(bool value);
    void recordMicrophoneChanged(bool value);
    void recordShowCursorChanged(bool value);
    void recordWindowsAloneChanged(bool value);
    void recordHighlightClicksChanged(bool value);
    void recordShowKeystrokesChanged(bool value);
    void keystrokeModeChanged(KeystrokeMode value);
    void keystrokePositionChanged(KeystrokePosition value);
    void recordingHiddenAppsChanged(const QStringList& value);
    void recordingHideNotificationsChanged(bool value);
    void recordShowCameraChanged(bool value);
    void cameraDeviceIDChanged(const std::optional<QString>& value);
    void cameraShapeChanged(CameraShape value);
    void cameraSizeChanged(CameraSize value);
    void cameraMirroredChanged(bool value);
    void cameraPositionsChanged(const CameraPositions& value);
    void recordingFPSChanged(qint64 value);
    void recordingQualityChanged(RecordingQuality value);
    void recordingRetinaChanged(bool value);
    void recordingCountdownChanged(qint64 value);
    void gifFPSChanged(qint64 value);
    void gifMaxWidthChanged(qint64 value);
    void quickAccessCornerChanged(ScreenCorner value);
    void quickAccessAutoCloseChanged(bool value);
    void quickAccessCloseAfterChanged(qint64 value);
    void closeEditorAfterExportChanged(bool value);
    void keepAnnotationsEditableChanged(bool value);
    void editorShowsRecentChanged(bool value);
    void hasCompletedOnboardingChanged(bool value);
    void shortcutsChanged(const ShortcutMap& value);

private:
    void load();
    template <typename T, typename Signal>
    void assign(T& field, const T& value, const QString& key, Signal changed);
    void write(const QString& key, const QVariant& value);

    std::unique_ptr<QSettings> settings_;

    bool showQuickAccess_{};
    bool copyToClipboard_{};
    bool saveToDisk_{};
    bool openEditor_{};
    bool playSounds_{};
    ImageFormat imageFormat_{};
    std::optional<QByteArray> saveFolderBookmark_{};
    bool windowShadow_{};
    bool showCursor_{};
    bool showMagnifier_{};
    bool showCrosshair_{};
    bool ocrKeepLineBreaks_{};
    qint64 captureTimer_{};
    bool autoScrollImmediately_{};
    Recording::Format recordingFormat_{};
    bool recordSystemAudio_{};
    bool recordMicrophone_{};
    bool recordShowCursor_{};
    bool recordWindowsAlone_{};
    bool recordHighlightClicks_{};
    bool recordShowKeystrokes_{};
    KeystrokeMode keystrokeMode_{};
    KeystrokePosition keystrokePosition_{};
    QStringList recordingHiddenApps_{};
    bool recordingHideNotifications_{};
    bool recordShowCamera_{};
    std::optional<QString> cameraDeviceID_{};
    CameraShape cameraShape_{};
    CameraSize cameraSize_{};
    bool cameraMirrored_{};
    CameraPositions cameraPositions_{};
    qint64 recordingFPS_{};
    RecordingQuality recordingQuality_{};
    bool recordingRetina_{};
    qint64 recordingCountdown_{};
    qint64 gifFPS_{};
    qint64 gifMaxWidth_{};
    ScreenCorner quickAccessCorner_{};
    bool quickAccessAutoClose_{};
    qint64 quickAccessCloseAfter_{};
    bool closeEditorAfterExport_{};
    bool keepAnnotationsEditable_{};
    bool editorShowsRecent_{};
    bool hasCompletedOnboarding_{};
    ShortcutMap shortcuts_{};
};

} // namespace app
