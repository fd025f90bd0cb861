#include "recording/RecordingSessionModel.h"

#include "app/Preferences.h"
#include "platform/PermissionProbe.h"

namespace recording {

namespace {

// Stores a value and emits its signal only when it changed.
template <typename T, typename Signal>
bool store(T& field, const T& value, RecordingSessionModel* model, Signal signal) {
    if (field == value)
        return false;
    field = value;
    Q_EMIT(model->*signal)(value);
    return true;
}

} // namespace

RecordingSessionModel::RecordingSessionModel(app::Preferences& preferences,
                                             platform::PermissionProbe& probe, QObject* parent)
    : QObject(parent), preferences_(preferences), probe_(probe) {
    format_ = preferences.recordingFormat();
    systemAudio_ = preferences.recordSystemAudio();
    microphone_ = preferences.recordMicrophone();
    showCursor_ = preferences.recordShowCursor();
    highlightClicks_ = preferences.recordHighlightClicks();
    showKeystrokes_ = preferences.recordShowKeystrokes();
    showCamera_ = preferences.recordShowCamera();
    hiddenApps_ = preferences.recordingHiddenApps();
    hideNotifications_ = preferences.recordingHideNotifications();
    needsInputMonitoring_ = showKeystrokes_ && !inputMonitoringGranted();
}

RecordingSessionModel::RecordingSessionModel(QObject* parent)
    : RecordingSessionModel(app::Preferences::shared(), platform::PermissionProbe::system(),
                            parent) {}

bool RecordingSessionModel::inputMonitoringGranted() const {
    return probe_.status(platform::Permission::inputMonitoring).granted;
}

void RecordingSessionModel::setPhase(const SessionPhase& phase) {
    store(phase_, phase, this, &RecordingSessionModel::phaseChanged);
}

void RecordingSessionModel::setPaused(bool paused) {
    store(isPaused_, paused, this, &RecordingSessionModel::isPausedChanged);
}

void RecordingSessionModel::setElapsed(double seconds) {
    store(elapsed_, seconds, this, &RecordingSessionModel::elapsedChanged);
}

void RecordingSessionModel::setNeedsInputMonitoring(bool needs) {
    store(needsInputMonitoring_, needs, this, &RecordingSessionModel::needsInputMonitoringChanged);
}

void RecordingSessionModel::setCameraDenied(bool denied) {
    store(cameraDenied_, denied, this, &RecordingSessionModel::cameraDeniedChanged);
}

void RecordingSessionModel::setSoundNote(const QString& note) {
    store(soundNote_, note, this, &RecordingSessionModel::soundNoteChanged);
}

void RecordingSessionModel::setRecordsWindowOnly(bool windowOnly) {
    store(recordsWindowOnly_, windowOnly, this, &RecordingSessionModel::recordsWindowOnlyChanged);
}

void RecordingSessionModel::setFormat(app::Recording::Format format) {
    store(format_, format, this, &RecordingSessionModel::formatChanged);
    preferences_.setRecordingFormat(format);
}

void RecordingSessionModel::setSystemAudio(bool on) {
    store(systemAudio_, on, this, &RecordingSessionModel::systemAudioChanged);
    preferences_.setRecordSystemAudio(on);
}

void RecordingSessionModel::setMicrophone(bool on) {
    store(microphone_, on, this, &RecordingSessionModel::microphoneChanged);
    preferences_.setRecordMicrophone(on);
}

void RecordingSessionModel::setShowCursor(bool on) {
    store(showCursor_, on, this, &RecordingSessionModel::showCursorChanged);
    preferences_.setRecordShowCursor(on);
}

void RecordingSessionModel::setHighlightClicks(bool on) {
    store(highlightClicks_, on, this, &RecordingSessionModel::highlightClicksChanged);
    preferences_.setRecordHighlightClicks(on);
}

void RecordingSessionModel::setShowKeystrokes(bool on) {
    store(showKeystrokes_, on, this, &RecordingSessionModel::showKeystrokesChanged);
    preferences_.setRecordShowKeystrokes(on);
    refreshInputMonitoring();
}

void RecordingSessionModel::setShowCamera(bool on) {
    store(showCamera_, on, this, &RecordingSessionModel::showCameraChanged);
    preferences_.setRecordShowCamera(on);
    if (onCameraChange)
        onCameraChange();
}

void RecordingSessionModel::setHiddenApps(const QStringList& ids) {
    store(hiddenApps_, ids, this, &RecordingSessionModel::hiddenAppsChanged);
    preferences_.setRecordingHiddenApps(ids);
    if (onFilterChange)
        onFilterChange();
}

void RecordingSessionModel::setHideNotifications(bool on) {
    store(hideNotifications_, on, this, &RecordingSessionModel::hideNotificationsChanged);
    preferences_.setRecordingHideNotifications(on);
    if (onFilterChange)
        onFilterChange();
}

void RecordingSessionModel::setApp(const QString& id, bool hidden) {
    QStringList ids = hiddenApps_;
    if (hidden) {
        if (ids.contains(id))
            return;
        ids.append(id);
    } else {
        ids.removeAll(id);
    }
    setHiddenApps(ids);
}

void RecordingSessionModel::refreshInputMonitoring() {
    setNeedsInputMonitoring(showKeystrokes_ && !inputMonitoringGranted());
}

} // namespace recording
