#pragma once

#include "app/Recording.h"

#include <QString>

#include <vector>

namespace recording::controlBar {

// Which row the bar shows.
enum class Row { setup, countdown, recording, finishing };

// Everything the bar draws, read from the session's model, plus what was
// decided once when the bar was made (the reserved notes).
struct State {
    Row row = Row::setup;
    int secondsLeft = 0; // countdown
    QString status;      // finishing, shown as given
    app::Recording::Format format = app::Recording::Format::video;
    bool isPaused = false;
    double elapsed = 0;
    bool systemAudio = false;
    bool microphone = false;
    bool showCursor = false;
    bool highlightClicks = false;
    bool showKeystrokes = false;
    bool showCamera = false;
    bool recordsWindowOnly = false;
    bool needsInputMonitoring = false;
    bool cameraDenied = false;
    QString soundNote; // empty: no note
};

enum class Kind {
    formatPicker,
    divider,
    toggle,
    hiddenApps,
    iconButton,
    pillButton, // Record and Stop: red capsules
    dot,        // red, orange while paused
    elapsed,
    countdownText,
    spinner,
    statusText,
};

enum class Option {
    none,
    systemAudio,
    microphone,
    showCursor,
    highlightClicks,
    showKeystrokes,
    showCamera
};
enum class Action { none, record, cancel, pause, restart, stop };

struct Item {
    Kind kind = Kind::divider;
    QString symbol;
    QString text; // label, time, countdown or status
    QString toolTip;
    Option option = Option::none;
    Action action = Action::none;
    bool enabled = true;
    // A toggle drawn as set: its setting is on and it is enabled, so a greyed
    // toggle always looks unset whatever is stored.
    bool on = false;

    friend bool operator==(const Item&, const Item&) = default;
};

// The row for the state, left to right.
std::vector<Item> items(const State& state);

// The value of an option in the state.
bool optionValue(const State& state, Option option);

// A reserved note is laid out always; it shows (and takes clicks) only
// while its flag is set. One not reserved is never there.
struct NoteLayout {
    bool laidOut = false;
    bool visible = false;
    friend bool operator==(const NoteLayout&, const NoteLayout&) = default;
};
NoteLayout noteLayout(bool reserved, bool flag);

// The notes' texts: what stops keystrokes or the camera here.
QString inputNoteText();
QString cameraNoteText();
QString cameraNoteButton();

} // namespace recording::controlBar
