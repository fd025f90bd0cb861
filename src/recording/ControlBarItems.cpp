#include "recording/ControlBarItems.h"

#include <QCoreApplication>

// The context of this file's texts, declared where lupdate finds it.
struct RecordingControlBarText {
    Q_DECLARE_TR_FUNCTIONS(RecordingControlBarText)
};

namespace recording::controlBar {

namespace {

Item make(Kind kind, QString symbol = {}, QString text = {}, QString toolTip = {},
          Action action = Action::none) {
    Item item;
    item.kind = kind;
    item.symbol = std::move(symbol);
    item.text = std::move(text);
    item.toolTip = std::move(toolTip);
    item.action = action;
    return item;
}

Item divider() {
    return make(Kind::divider);
}

Item toggle(const State& state, Option option, const char* symbol, QString toolTip,
            bool enabled = true) {
    Item item = make(Kind::toggle, QString::fromLatin1(symbol), {}, std::move(toolTip));
    item.option = option;
    item.enabled = enabled;
    item.on = enabled && optionValue(state, option);
    return item;
}

Item iconButton(const char* symbol, QString toolTip, Action action) {
    return make(Kind::iconButton, QString::fromLatin1(symbol), {}, std::move(toolTip), action);
}

Item hiddenApps(const State& state) {
    Item item = make(Kind::hiddenApps, QStringLiteral("eye.slash"));
    item.enabled = !state.recordsWindowOnly;
    return item;
}

Item dot(bool paused) {
    Item item = make(Kind::dot);
    item.on = paused;
    return item;
}

Item cancel() {
    return iconButton("xmark", RecordingControlBarText::tr("Cancel"), Action::cancel);
}

} // namespace

bool optionValue(const State& state, Option option) {
    switch (option) {
    case Option::systemAudio:
        return state.systemAudio;
    case Option::microphone:
        return state.microphone;
    case Option::showCursor:
        return state.showCursor;
    case Option::highlightClicks:
        return state.highlightClicks;
    case Option::showKeystrokes:
        return state.showKeystrokes;
    case Option::showCamera:
        return state.showCamera;
    case Option::none:
        break;
    }
    return false;
}

std::vector<Item> items(const State& state) {
    const bool video = state.format == app::Recording::Format::video;
    switch (state.row) {
    case Row::setup:
        return {
            make(Kind::formatPicker, {},
                 //: Recording format picker: video or GIF
                 RecordingControlBarText::tr("Format")),
            divider(),
            toggle(state, Option::systemAudio, "speaker.wave.2.fill",
                   RecordingControlBarText::tr("Record computer audio"), video),
            toggle(state, Option::microphone, "mic.fill",
                   RecordingControlBarText::tr("Record the microphone"), video),
            toggle(state, Option::showCursor, "cursorarrow",
                   RecordingControlBarText::tr("Show the pointer")),
            toggle(state, Option::highlightClicks, "cursorarrow.click.2",
                   RecordingControlBarText::tr("Highlight clicks")),
            toggle(state, Option::showKeystrokes, "keyboard",
                   RecordingControlBarText::tr("Show keystrokes")),
            toggle(state, Option::showCamera, "person.crop.circle",
                   RecordingControlBarText::tr("Show camera")),
            hiddenApps(state),
            divider(),
            cancel(),
            make(Kind::pillButton, QStringLiteral("record.circle.fill"),
                 RecordingControlBarText::tr("Record"),
                 RecordingControlBarText::tr("Start recording"), Action::record),
        };
    case Row::countdown:
        return {
            make(Kind::countdownText, {},
                 RecordingControlBarText::tr("Recording in %1…").arg(state.secondsLeft)),
            cancel(),
        };
    case Row::recording:
        return {
            dot(state.isPaused),
            make(Kind::elapsed, {}, app::durationText(state.elapsed)),
            divider(),
            toggle(state, Option::showCamera, "person.crop.circle",
                   RecordingControlBarText::tr("Show camera")),
            hiddenApps(state),
            divider(),
            state.isPaused
                //: Recording control: continue a paused recording
                ? iconButton("play.fill", RecordingControlBarText::tr("Resume"), Action::pause)
                //: Recording control: pause the recording
                : iconButton("pause.fill", RecordingControlBarText::tr("Pause"), Action::pause),
            //: Recording control: throw the recording away and start again
            iconButton("arrow.counterclockwise", RecordingControlBarText::tr("Restart"),
                       Action::restart),
            //: Recording control: stop and delete the recording
            iconButton("trash", RecordingControlBarText::tr("Discard"), Action::cancel),
            make(Kind::pillButton, QStringLiteral("stop.fill"), RecordingControlBarText::tr("Stop"),
                 RecordingControlBarText::tr("Stop and keep the recording"), Action::stop),
        };
    case Row::finishing:
        return {
            make(Kind::spinner),
            make(Kind::statusText, {}, state.status),
        };
    }
    return {};
}

NoteLayout noteLayout(bool reserved, bool flag) {
    NoteLayout layout;
    layout.laidOut = reserved;
    layout.visible = reserved && flag;
    return layout;
}

QString inputNoteText() {
    return RecordingControlBarText::tr(
        "Keystrokes can't be shown: this X server has no RECORD extension, which "
        "Vexlin Capture needs to see the keys you press.");
}

QString cameraNoteText() {
    return RecordingControlBarText::tr(
        "No camera can be used: none is connected, or your account may not open it.");
}

QString cameraNoteButton() {
    return RecordingControlBarText::tr("Open Camera Settings");
}

} // namespace recording::controlBar
