#include "recording/ControlBar.h"
#include "recording/ControlBarItems.h"
#include "recording/ControlPanelPlacement.h"
#include "recording/RecordingSessionModel.h"
#include "recording/RecordingWindows.h"

#include "app/Preferences.h"
#include "platform/PermissionProbe.h"
#include "support/EventLoop.h"

#include <QFontDatabase>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantAnimation>
#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace recording {
namespace {

using controlBar::Action;
using controlBar::Kind;
using controlBar::Option;
using controlBar::Row;

// --- placement ---

struct PlacementCase {
    const char* name;
    QSizeF panel;
    QRectF region;
    QRectF visible;
    QPointF origin;
};

TEST(ControlPanelOrigin, PlacesBelowAboveOrInsideTheRegion) {
    // A 1920 × 1080 display with a 28 point bar at the top.
    const QRectF visible(0, 28, 1920, 1052);
    const PlacementCase cases[] = {
        {"room below: 10 under, centred", {600, 64}, {400, 300, 640, 400}, visible, {420, 710}},
        {"region at the bottom: above", {600, 64}, {400, 700, 640, 370}, visible, {420, 626}},
        {"whole visible frame: inside, 24 up", {600, 64}, visible, visible, {660, 1080 - 24 - 64}},
        {"region past a bottom dock: 24 above the visible bottom",
         {600, 64},
         {0, 0, 1920, 1080},
         {0, 0, 1920, 1040},
         {660, 1040 - 24 - 64}},
        {"near the left edge: 8 in", {600, 64}, {0, 300, 100, 100}, visible, {8, 410}},
        {"wider than the frame: right edge 8 in",
         {2000, 64},
         {400, 300, 640, 400},
         visible,
         {1920 - 8 - 2000, 710}},
        {"second screen, near its left edge: 8 in",
         {600, 64},
         {2020, 100, 400, 300},
         {1920, 0, 1280, 1024},
         {1920 + 8, 410}},
    };
    for (const PlacementCase& c : cases) {
        EXPECT_EQ(controlPanelOrigin(c.panel, c.region, c.visible), c.origin) << c.name;
    }
}

// --- the bar's items ---

std::vector<QString> symbols(const std::vector<controlBar::Item>& items) {
    std::vector<QString> out;
    for (const controlBar::Item& item : items) {
        if (!item.symbol.isEmpty()) {
            out.push_back(item.symbol);
        }
    }
    return out;
}

const controlBar::Item& optionItem(const std::vector<controlBar::Item>& items, Option option) {
    for (const controlBar::Item& item : items) {
        if (item.option == option) {
            return item;
        }
    }
    throw std::runtime_error("no such toggle");
}

TEST(ControlBarItems, GifGreysTheAudioTogglesAndShowsThemUnset) {
    controlBar::State state;
    state.systemAudio = true;
    state.microphone = true;
    state.showCursor = true;
    struct Case {
        app::Recording::Format format;
        bool enabled;
        bool on;
    };
    for (const Case c : {Case{app::Recording::Format::video, true, true},
                         Case{app::Recording::Format::gif, false, false}}) {
        state.format = c.format;
        const auto items = controlBar::items(state);
        for (Option audio : {Option::systemAudio, Option::microphone}) {
            EXPECT_EQ(optionItem(items, audio).enabled, c.enabled);
            EXPECT_EQ(optionItem(items, audio).on, c.on);
        }
        // The others do not depend on the format.
        EXPECT_TRUE(optionItem(items, Option::showCursor).enabled);
        EXPECT_TRUE(optionItem(items, Option::showCursor).on);
        EXPECT_FALSE(optionItem(items, Option::highlightClicks).on);
    }
    // Linux has no system-version branch: the microphone says what it does.
    EXPECT_EQ(optionItem(controlBar::items({}), Option::microphone).toolTip,
              QStringLiteral("Record the microphone"));
}

TEST(ControlBarItems, OneRowPerPhase) {
    controlBar::State state;
    const std::vector<QString> setup = {"speaker.wave.2.fill", "mic.fill", "cursorarrow",
                                        "cursorarrow.click.2", "keyboard", "person.crop.circle",
                                        "eye.slash",           "xmark",    "record.circle.fill"};
    EXPECT_EQ(symbols(controlBar::items(state)), setup);
    EXPECT_EQ(controlBar::items(state).front().kind, Kind::formatPicker);

    state.row = Row::recording;
    state.elapsed = 3725.9;
    auto recording = controlBar::items(state);
    // No picker, pointer, click or keystroke toggles while recording.
    EXPECT_EQ(symbols(recording),
              (std::vector<QString>{"person.crop.circle", "eye.slash", "pause.fill",
                                    "arrow.counterclockwise", "trash", "stop.fill"}));
    EXPECT_EQ(recording[1].kind, Kind::elapsed);
    EXPECT_EQ(recording[1].text, QStringLiteral("62:05"));
    EXPECT_FALSE(recording[0].on);
    EXPECT_EQ(recording[6].toolTip, QStringLiteral("Pause"));

    state.isPaused = true;
    recording = controlBar::items(state);
    EXPECT_TRUE(recording[0].on) << "the dot turns orange";
    EXPECT_EQ(recording[6].symbol, QStringLiteral("play.fill"));
    EXPECT_EQ(recording[6].toolTip, QStringLiteral("Resume"));
    EXPECT_EQ(recording[6].action, Action::pause);
    // Discard and the setup's Cancel call the same action.
    EXPECT_EQ(recording[8].action, Action::cancel);

    state.row = Row::countdown;
    state.secondsLeft = 2;
    const auto countdown = controlBar::items(state);
    ASSERT_EQ(countdown.size(), 2u);
    EXPECT_EQ(countdown[0].text, QStringLiteral("Recording in 2…"));
    EXPECT_EQ(countdown[1].action, Action::cancel);

    state.row = Row::finishing;
    state.status = QStringLiteral("Creating GIF…");
    const auto finishing = controlBar::items(state);
    ASSERT_EQ(finishing.size(), 2u);
    EXPECT_EQ(finishing[1].text, QStringLiteral("Creating GIF…"));
    for (const controlBar::Item& item : finishing) {
        EXPECT_EQ(item.action, Action::none);
    }
}

TEST(ControlBarItems, HiddenAppsButtonIsDisabledForWindowRecordings) {
    controlBar::State state;
    for (const Row row : {Row::setup, Row::recording}) {
        state.row = row;
        for (const bool windowOnly : {false, true}) {
            state.recordsWindowOnly = windowOnly;
            for (const controlBar::Item& item : controlBar::items(state)) {
                if (item.kind == Kind::hiddenApps) {
                    EXPECT_EQ(item.enabled, !windowOnly);
                }
            }
        }
    }
}

TEST(ControlBarItems, ANoteIsLaidOutOnlyWhenReserved) {
    using controlBar::NoteLayout;
    EXPECT_EQ(controlBar::noteLayout(false, true), (NoteLayout{false, false}));
    EXPECT_EQ(controlBar::noteLayout(true, false), (NoteLayout{true, false}));
    EXPECT_EQ(controlBar::noteLayout(true, true), (NoteLayout{true, true}));
}

// --- the bar widget ---

struct BarFixture {
    controlBar::State state;
    std::vector<QString> calls;
    ControlBarLinks links() {
        ControlBarLinks l;
        l.state = [this] { return state; };
        l.setOption = [this](Option option, bool on) {
            if (option == Option::systemAudio) {
                state.systemAudio = on;
            }
            calls.push_back(on ? QStringLiteral("option on") : QStringLiteral("option off"));
        };
        l.onRecord = [this] { calls.push_back(QStringLiteral("record")); };
        l.onCancel = [this] { calls.push_back(QStringLiteral("cancel")); };
        l.onStop = [this] { calls.push_back(QStringLiteral("stop")); };
        return l;
    }
};

ControlBarItem* itemWith(ControlBar& bar, const QString& symbol) {
    for (ControlBarItem* item : bar.rowItems()) {
        if (item->item().symbol == symbol) {
            return item;
        }
    }
    return nullptr;
}

TEST(ControlBar, ClicksCallTheirActionsAndGreyedTogglesIgnoreThem) {
    BarFixture f;
    ControlBar bar(f.links(), false, false, {});
    bar.show();
    QTest::mouseClick(bar.pillButton(), Qt::LeftButton);
    QTest::mouseClick(itemWith(bar, "xmark"), Qt::LeftButton);
    QTest::mouseClick(itemWith(bar, "speaker.wave.2.fill"), Qt::LeftButton);
    EXPECT_EQ(f.calls, (std::vector<QString>{"record", "cancel", "option on"}));

    f.state.format = app::Recording::Format::gif;
    bar.refresh();
    QTest::mouseClick(itemWith(bar, "speaker.wave.2.fill"), Qt::LeftButton);
    EXPECT_EQ(f.calls.size(), 3u) << "a greyed toggle keeps its setting";

    f.state.row = Row::recording;
    bar.refresh();
    ASSERT_NE(bar.pillButton(), nullptr);
    EXPECT_EQ(bar.pillButton()->text(), QStringLiteral("Stop"));
    QTest::mouseClick(bar.pillButton(), Qt::LeftButton);
    EXPECT_EQ(f.calls.back(), QStringLiteral("stop"));
}

TEST(ControlBar, AReservedNoteKeepsItsSpaceWhileHidden) {
    BarFixture f;
    ControlBar bar(f.links(), true, false, {});
    bar.show();
    const QSize hidden = bar.size();
    ASSERT_NE(bar.inputNote(), nullptr);
    EXPECT_EQ(bar.cameraNote(), nullptr);
    EXPECT_FALSE(bar.inputNote()->isShown());
    EXPECT_TRUE(bar.inputNote()->testAttribute(Qt::WA_TransparentForMouseEvents));
    f.state.needsInputMonitoring = true;
    bar.refresh();
    EXPECT_TRUE(bar.inputNote()->isShown());
    EXPECT_EQ(bar.size(), hidden);
    // Nothing to restart or open for a missing X extension.
    EXPECT_EQ(bar.inputNote()->button(), nullptr);
    EXPECT_GT(bar.outline().boundingRect().height(), ControlBar::capsuleHeight + 20);

    // A camera note offers its button only where there are settings to open.
    ControlBar withSettings(f.links(), false, true, [] {});
    ControlBar without(f.links(), false, true, {});
    EXPECT_NE(withSettings.cameraNote()->button(), nullptr);
    EXPECT_EQ(without.cameraNote()->button(), nullptr);
}

// The running time and the countdown keep their width as they count, also
// in a face whose digits differ in width: the row does not jitter.
TEST(ControlBar, CountingTextsKeepTheirWidth) {
    QFont face;
    bool found = false;
    for (const QString& family : QFontDatabase::families()) {
        QFont candidate(family);
        candidate.setPixelSize(14);
        const QFontMetricsF metrics(candidate);
        if (metrics.horizontalAdvance(QLatin1Char('1')) !=
            metrics.horizontalAdvance(QLatin1Char('0'))) {
            face = candidate;
            found = true;
            break;
        }
    }
    if (!found) {
        GTEST_SKIP() << "no installed face has digits of different widths";
    }
    struct Case {
        Row row;
        Kind kind;
        std::function<void(controlBar::State&, int)> count;
    };
    const Case cases[] = {
        {Row::recording, Kind::elapsed,
         [](controlBar::State& s, int i) { s.elapsed = i * 71.0; }}, // 0:00, 1:11 … 9:27
        {Row::countdown, Kind::countdownText,
         [](controlBar::State& s, int i) { s.secondsLeft = i + 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.row));
        BarFixture f;
        f.state.row = c.row;
        ControlBar bar(f.links(), false, false, {});
        bar.setFont(face);
        bar.show();
        std::set<int> widths;
        for (int i = 0; i < 9; ++i) {
            c.count(f.state, i);
            bar.refresh();
            for (ControlBarItem* item : bar.rowItems()) {
                if (item->item().kind == c.kind) {
                    widths.insert(item->width());
                }
            }
        }
        EXPECT_EQ(widths.size(), 1u);
    }
}

class GrantingProbe : public platform::PermissionProbe {
public:
    platform::PermissionStatus status(platform::Permission) override { return {true, {}}; }
    bool canOpenSettings(platform::Permission) override { return false; }
    void openSettings(platform::Permission) override {}
};

// The big countdown rolls from one number to the next over a quarter of a
// second instead of switching at once, and then shows the new one alone.
TEST(CountdownPanel, TheNumberRollsToTheNextOne) {
    QTemporaryDir dir;
    app::Preferences preferences(dir.path() + QStringLiteral("/settings.conf"));
    GrantingProbe probe;
    RecordingSessionModel model(preferences, probe);
    model.setPhase(SessionPhase::countdown(3));
    CountdownPanel panel(&model);
    panel.show();
    const QImage three = panel.grab().toImage();

    model.setPhase(SessionPhase::countdown(2));
    // The roll is set two fifths of the way on its own clock rather than
    // waited for: a busy machine may let the whole quarter second pass first.
    auto* roll = panel.findChild<QVariantAnimation*>();
    ASSERT_NE(roll, nullptr);
    ASSERT_EQ(roll->state(), QAbstractAnimation::Running);
    roll->setCurrentTime(int(CountdownPanel::transition.count()) * 2 / 5);
    EXPECT_GT(panel.progress(), 0.0);
    EXPECT_LT(panel.progress(), 1.0);
    const QImage rolling = panel.grab().toImage();
    // From there it comes to its end by itself.
    EXPECT_TRUE(testsupport::waitFor(10'000, [&] { return panel.progress() == 1.0; }));
    const QImage two = panel.grab().toImage();

    CountdownPanel still(&model);
    still.show();
    EXPECT_EQ(two, still.grab().toImage());
    EXPECT_NE(rolling, three);
    EXPECT_NE(rolling, two);
    EXPECT_NE(two, three);
}

} // namespace
} // namespace recording
