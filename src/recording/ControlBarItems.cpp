#include "recording/ControlBarItems.h"

#include <QCoreApplication>

namespace recording::controlBar {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("RecordingControlBar", text);
}

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
    return iconButton("xmark", tr("Cancel"), Action::cancel);
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
            //: Recording format picker: video or GIF
            make(Kind::formatPicker, {}, tr("Format")),
            divider(),
            toggle(state, Option::systemAudio, "speaker.wave.2.fill", tr("Record computer audio"),
                   video),
            toggle(state, Option::microphone, "mic.fill", tr("Record the microphone"), video),
            toggle(state, Option::showCursor, "cursorarrow", tr("Show the pointer")),
            toggle(state, Option::highlightClicks, "cursorarrow.click.2", tr("Highlight clicks")),
            toggle(state, Option::showKeystrokes, "keyboard", tr("Show keystrokes")),
            toggle(state, Option::showCamera, "person.crop.circle", tr("Show camera")),
            hiddenApps(state),
            divider(),
            cancel(),
            make(Kind::pillButton, QStringLiteral("record.circle.fill"), tr("Record"),
                 tr("Start recording"), Action::record),
        };
    case Row::countdown:
        return {
            make(Kind::countdownText, {}, tr("Recording in %1…").arg(state.secondsLeft)),
            cancel(),
        };
    case Row::recording:
        return {
            dot(state.isPaused),
            make(Kind::elapsed, {}, app::durationText(state.elapsed)),
            divider(),
            toggle(state, Option::showCamera, "person.crop.circle", tr("Show camera")),
            hiddenApps(state),
            divider(),
            state.isPaused
                //: Recording control: continue a paused recording
                ? iconButton("play.fill", tr("Resume"), Action::pause)
                //: Recording control: pause the recording
                : iconButton("pause.fill", tr("Pause"), Action::pause),
            //: Recording control: throw the recording away and start again
            iconButton("arrow.counterclockwise", tr("Restart"), Action::restart),
            //: Recording control: stop and delete the recording
            iconButton("trash", tr("Discard"), Action::cancel),
            make(Kind::pillButton, QStringLiteral("stop.fill"), tr("Stop"),
                 tr("Stop and keep the recording"), Action::stop),
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
    return tr("Keystrokes can't be shown: this X server has no RECORD extension, which "
              "Vexlin Capture needs to see the keys you press.");
}

QString cameraNoteText() {
    return tr("No camera can be used: none is connected, or your account may not open it.");
}

QString cameraNoteButton() {
    return tr("Open Camera Settings");
}

} // namespace recording::controlBar
