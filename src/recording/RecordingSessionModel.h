#pragma once

#include "app/Recording.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace app {
class Preferences;
}
namespace platform {
class PermissionProbe;
}

namespace recording {

// Where a recording session stands. Two phases are equal when they are the
// same kind with the same payload: countdown(3) differs from countdown(2),
// finishing("Saving…") from finishing("Creating GIF…").
struct SessionPhase {
    enum class Kind { countdown, finishing, setup, recording };

    Kind kind = Kind::setup;
    int secondsLeft = 0; // countdown only
    QString status;      // finishing only

    static SessionPhase setup() { return {Kind::setup, 0, {}}; }
    static SessionPhase recording() { return {Kind::recording, 0, {}}; }
    static SessionPhase countdown(int seconds) { return {Kind::countdown, seconds, {}}; }
    static SessionPhase finishing(const QString& text) { return {Kind::finishing, 0, text}; }

    bool is(Kind k) const { return kind == k; }

    friend bool operator==(const SessionPhase& a, const SessionPhase& b) {
        if (a.kind != b.kind)
            return false;
        if (a.kind == Kind::countdown)
            return a.secondsLeft == b.secondsLeft;
        if (a.kind == Kind::finishing)
            return a.status == b.status;
        return true;
    }
};

// The observable state of one recording session: the phase the control bar
// draws, pause and elapsed time, the permission notes, and the options the
// user changes on the bar. Each option starts from its setting and is written
// back whenever it is set (even to the same value), so the next recording
// starts with the last choice. Every property has its own change signal,
// emitted only when the value really changed. Main thread only.
class RecordingSessionModel : public QObject {
    Q_OBJECT

public:
    // Reads the options from `preferences`; `probe` answers whether keystrokes
    // can be read (the X server's RECORD extension).
    RecordingSessionModel(app::Preferences& preferences, platform::PermissionProbe& probe,
                          QObject* parent = nullptr);
    // The shared settings store and this machine's probe.
    explicit RecordingSessionModel(QObject* parent = nullptr);

    SessionPhase phase() const { return phase_; }
    bool isPaused() const { return isPaused_; }
    double elapsed() const { return elapsed_; }
    bool needsInputMonitoring() const { return needsInputMonitoring_; }
    bool cameraDenied() const { return cameraDenied_; }
    // Why sound that was asked for is not being recorded; empty when it is.
    QString soundNote() const { return soundNote_; }
    bool recordsWindowOnly() const { return recordsWindowOnly_; }
    app::Recording::Format format() const { return format_; }
    bool systemAudio() const { return systemAudio_; }
    bool microphone() const { return microphone_; }
    bool showCursor() const { return showCursor_; }
    bool highlightClicks() const { return highlightClicks_; }
    bool showKeystrokes() const { return showKeystrokes_; }
    bool showCamera() const { return showCamera_; }
    QStringList hiddenApps() const { return hiddenApps_; }
    bool hideNotifications() const { return hideNotifications_; }

    // Session state: stored only.
    void setPhase(const SessionPhase& phase);
    void setPaused(bool paused);
    void setElapsed(double seconds);
    void setNeedsInputMonitoring(bool needs);
    void setCameraDenied(bool denied);
    void setSoundNote(const QString& note);
    void setRecordsWindowOnly(bool windowOnly);

    // Options: stored, written to the settings, then their follow-up.
    void setFormat(app::Recording::Format format);
    void setSystemAudio(bool on);
    void setMicrophone(bool on);
    void setShowCursor(bool on);
    void setHighlightClicks(bool on);
    // Follow-up: refreshInputMonitoring().
    void setShowKeystrokes(bool on);
    // Follow-up: onCameraChange.
    void setShowCamera(bool on);
    // Follow-up: onFilterChange.
    void setHiddenApps(const QStringList& ids);
    void setHideNotifications(bool on);

    // Hides an application (appended once; nothing when already hidden) or
    // shows it again (every occurrence removed; the list is written and the
    // filter re-applied even when it held none).
    void setApp(const QString& id, bool hidden);

    // Asks again whether keystrokes can be read, and sets the note's flag:
    // needed while keystrokes are on and they cannot be. There is no settings
    // pane that grants it: the X server either offers RECORD or not.
    void refreshInputMonitoring();

    // Installed by the session.
    std::function<void()> onFilterChange;
    std::function<void()> onCameraChange;

    app::Preferences& preferences() const { return preferences_; }

Q_SIGNALS:
    void phaseChanged(const recording::SessionPhase& phase);
    void isPausedChanged(bool paused);
    void elapsedChanged(double seconds);
    void needsInputMonitoringChanged(bool needs);
    void cameraDeniedChanged(bool denied);
    void soundNoteChanged(const QString& note);
    void recordsWindowOnlyChanged(bool windowOnly);
    void formatChanged(app::Recording::Format format);
    void systemAudioChanged(bool on);
    void microphoneChanged(bool on);
    void showCursorChanged(bool on);
    void highlightClicksChanged(bool on);
    void showKeystrokesChanged(bool on);
    void showCameraChanged(bool on);
    void hiddenAppsChanged(const QStringList& ids);
    void hideNotificationsChanged(bool on);

private:
    bool inputMonitoringGranted() const;

    app::Preferences& preferences_;
    platform::PermissionProbe& probe_;

    SessionPhase phase_ = SessionPhase::setup();
    bool isPaused_ = false;
    double elapsed_ = 0;
    bool needsInputMonitoring_ = false;
    bool cameraDenied_ = false;
    QString soundNote_;
    bool recordsWindowOnly_ = false;
    app::Recording::Format format_ = app::Recording::Format::video;
    bool systemAudio_ = false;
    bool microphone_ = false;
    bool showCursor_ = true;
    bool highlightClicks_ = false;
    bool showKeystrokes_ = false;
    bool showCamera_ = false;
    QStringList hiddenApps_;
    bool hideNotifications_ = false;
};

} // namespace recording

Q_DECLARE_METATYPE(recording::SessionPhase)
