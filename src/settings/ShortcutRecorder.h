#pragma once

#include "app/KeyShortcut.h"

#include <QObject>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractButton;
class QTimer;

namespace app {
class HotKeyCenter;
class Preferences;
} // namespace app

namespace settings {

// Listens for the next shortcut the user types. While it listens the
// program's global hot keys stand aside (so pressing an existing shortcut
// records it instead of starting a capture) and every key press of the
// program comes here: none reaches a window, a menu or an application key
// such as Ctrl+W. Main thread only.
class ShortcutListener : public QObject {
    Q_OBJECT
public:
    // What listening ends with: a shortcut, or none to remove the shortcut.
    using OnKey = std::function<void(std::optional<app::KeyShortcut>)>;

    // `preferences` holds the shortcuts the hot keys come back with when the
    // last listener stops.
    ShortcutListener(app::Preferences& preferences, app::HotKeyCenter& hotKeys,
                     QObject* parent = nullptr);
    ~ShortcutListener() override;

    bool isRecording() const { return recording_; }
    // The modifiers held now while listening (shift, control, option and
    // command bits), so that the field can echo them.
    std::uint64_t heldModifiers() const { return held_; }
    // Why the last refused key was refused, in a few words.
    QString refusal() const { return refusal_; }

    // Starts listening (ending a listening that still runs first).
    void start(OnKey onKey);
    // Stops listening; nothing happens when it does not listen.
    void stop();

    // Applies the key rules to one press, given as the X server reports it:
    // its key code and its modifier state. Without control, alt, shift or
    // super, Backspace and Delete remove the shortcut and Escape cancels; a
    // shortcut the hot keys can hold (app::KeyShortcut::isSafeAsHotKey) is
    // taken; any other key is refused with a beep and listening goes on.
    void handle(quint8 xKeyCode, quint16 xState);
    // A modifier key went down or up; its bit is among `modifiers` (bits as
    // stored) while it is held.
    void setHeldModifiers(std::uint64_t modifiers);

Q_SIGNALS:
    void recordingChanged(bool recording);
    // A key was refused; the beep has sounded and refusal() says why.
    void refused();
    void heldModifiersChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    app::Preferences& preferences_;
    app::HotKeyCenter& hotKeys_;
    OnKey onKey_;
    bool recording_ = false;
    std::uint64_t held_ = 0;
    QString refusal_;
};

// The control that shows one action's shortcut and records a new one: a
// field that starts and ends listening, and a button that removes the
// shortcut. It only shows the shortcut it is given; what the user records or
// removes comes out through shortcutEdited. Listening ends when the control
// is hidden or destroyed.
class ShortcutRecorder : public QWidget {
    Q_OBJECT
public:
    ShortcutRecorder(app::Preferences& preferences, app::HotKeyCenter& hotKeys,
                     QWidget* parent = nullptr);
    ~ShortcutRecorder() override;

    std::optional<app::KeyShortcut> shortcut() const { return shortcut_; }
    void setShortcut(std::optional<app::KeyShortcut> shortcut);
    // Another program holds the shortcut: the field is outlined in orange.
    bool hasConflict() const { return hasConflict_ || !sharedWith_.isEmpty(); }
    void setHasConflict(bool conflict);
    // Another action of ours has the same shortcut (its title; empty for
    // none): outlined in orange like a conflict, and its tip names it.
    void setSharedWith(const QString& action);
    QString sharedWith() const { return sharedWith_; }

    // The field's click: starts listening, or stops when it listens.
    void toggle();
    // The field's text: "Type shortcut…" while listening (the modifiers held
    // so far, or for a moment why a key was refused), else the shortcut or
    // "Record Shortcut".
    QString title() const;
    // How long the reason for a refused key stays in the field.
    static constexpr int refusalShownMs = 1600;

    bool isRecording() const { return listener_.isRecording(); }
    // The field says for a moment why the last key was refused.
    bool showsRefusal() const { return showsRefusal_ && listener_.isRecording(); }
    ShortcutListener& listener() { return listener_; }
    QAbstractButton* field() const;
    QAbstractButton* clearButton() const;

Q_SIGNALS:
    // The user recorded a shortcut, or removed it (none).
    void shortcutEdited(std::optional<app::KeyShortcut> shortcut);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    ShortcutListener listener_;
    std::optional<app::KeyShortcut> shortcut_;
    bool hasConflict_ = false;
    QString sharedWith_;
    bool showsRefusal_ = false;
    QTimer* refusalTimer_;
    QAbstractButton* field_;
    QAbstractButton* clear_;
};

} // namespace settings
