#pragma once

#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// One key or button event of any client, as the X server's RECORD extension
// saw it.
struct RecordedInput {
    enum class Kind { keyPress, keyRelease, buttonPress };
    Kind kind = Kind::keyPress;
    // The X key code, or the button number.
    std::uint8_t detail = 0;
    // Keys: the shortcut modifier bits (modifierBits) held as the key went
    // down; for a key that itself changes the modifiers or the lock state,
    // those in force after the change.
    std::uint64_t modifiers = 0;
    // Keys: the event changed the modifier or lock state (Shift, Caps Lock…).
    bool changesModifiers = false;
    // Key presses: the text the key types with the state of that moment.
    QString characters;
    // Buttons: where the pointer was, in root-window pixels.
    QPoint rootPixel;
};

// Listens to the keyboard and the mouse buttons of every client while it
// lives, without taking or changing anything: the events still reach their
// windows. Runs on its own connections and thread; its keyboard state is the
// one each recorded key event carries, so keys held when it starts count
// only while they are held. Events reach `onInput` on
// the thread that called start(), queued. When the server drops either
// connection (or the context with it) both are opened again, once; after a
// second drop, or when that fails, the recorder goes quiet.
//
// The events are handed on and never stored, written or traced: in "all
// keys" mode they are what the user types, passwords included.
class InputRecorder {
public:
    // Nothing when no X server can be reached or it offers no RECORD.
    static std::unique_ptr<InputRecorder> start(std::function<void(const RecordedInput&)> onInput);
    ~InputRecorder();
    InputRecorder(const InputRecorder&) = delete;
    InputRecorder& operator=(const InputRecorder&) = delete;

    // Ends listening: the context, its connections and the thread are gone
    // when this returns, and no event is delivered afterwards. Safe to call
    // again.
    void stop();

    // Whether the server offers RECORD (one round trip on a short-lived
    // connection).
    static bool available();

    struct State;

private:
    explicit InputRecorder(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace platform
