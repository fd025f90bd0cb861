// The coordinator's gates, and the table of flows it routes each capture
// through.
#include "capture/CaptureCoordinator.h"
#include "desktop/CaptureError.h"

#include "support/CoordinatorFixture.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using app::CaptureAction;
using capture::CaptureCoordinator;
using capture::CaptureFailure;
using capture::SelectionOutcome;
using Purpose = capture::CapturePurpose;
using namespace std::chrono_literals;
using Phase = capture::RecordingSessionControl::Phase;

namespace {

class FakeRecording : public capture::RecordingSessionControl {
public:
    explicit FakeRecording(Phase phase) : current(phase) {}
    Phase phase() const override { return current; }
    void start() override { ++starts; }
    void stop() override { ++stops; }
    Phase current;
    int starts = 0;
    int stops = 0;
};

class FakeScrolling : public capture::ScrollingSessionControl {
public:
    bool isFinished() const override { return finished; }
    void setFinished() override { finished = true; }
    void finish() override { ++finishes; }
    bool finished = false;
    int finishes = 0;
};

// Every entry of the table a fake of its own; the full-screen shot and the
// overlays are written down as steps. An overlay leaves the coordinator busy
// until its flow takes over, as a real one does.
class CaptureCoordinatorTest : public testsupport::CoordinatorFixture {
protected:
    void SetUp() override {
        fullScreen->steps = &steps;
        makeCoordinator(table());
    }
    capture::CaptureFlows table() const {
        capture::CaptureFlows flows;
        flows.fullScreen = fullScreen;
        flows.screenshot = screenshot;
        flows.scrolling = scrolling;
        flows.text = text;
        flows.recording = recording;
        return flows;
    }

    using Fake = testsupport::FakeFlow;
    std::shared_ptr<Fake> fullScreen = std::make_shared<Fake>();
    std::shared_ptr<Fake> screenshot = std::make_shared<Fake>();
    std::shared_ptr<Fake> scrolling = std::make_shared<Fake>();
    std::shared_ptr<Fake> text = std::make_shared<Fake>();
    std::shared_ptr<Fake> recording = std::make_shared<Fake>();
};

struct StepCase {
    CaptureAction action;
    const char* step;
    CaptureCoordinator::Delivery delivery;
};

TEST_F(CaptureCoordinatorTest, EachActionStartsItsStepFromTheEventLoop) {
    using D = CaptureCoordinator::Delivery;
    const StepCase cases[] = {
        {CaptureAction::area, "select area screenshot", D::standard},
        {CaptureAction::window, "select window screenshot", D::standard},
        {CaptureAction::fullscreen, "full-screen", D::standard},
        {CaptureAction::scrolling, "select area scrolling", D::standard},
        {CaptureAction::text, "select area text", D::standard},
        {CaptureAction::record, "select area recording", D::standard},
        {CaptureAction::areaCopy, "select area screenshot", D::copyOnly},
        {CaptureAction::windowCopy, "select window screenshot", D::copyOnly},
        {CaptureAction::fullscreenCopy, "full-screen", D::copyOnly},
    };
    for (const StepCase& c : cases) {
        const std::string name = app::rawValue(c.action).toStdString();
        steps.clear();
        coordinator->perform(c.action, false);
        EXPECT_TRUE(coordinator->isBusy()) << name;
        EXPECT_EQ(coordinator->delivery(), c.delivery) << name;
        EXPECT_TRUE(steps.empty()) << name << ": not inside the caller's event";
        settle();
        EXPECT_EQ(steps, std::vector<std::string>{c.step}) << name;
        coordinator->clearBusy();
    }
}

TEST_F(CaptureCoordinatorTest, MenuActionsWaitAQuarterSecond) {
    coordinator->perform(CaptureAction::area, true);
    clock.advance(249ms);
    EXPECT_TRUE(steps.empty());
    clock.advance(1ms);
    EXPECT_EQ(steps.size(), 1U);
}

TEST_F(CaptureCoordinatorTest, BusyIgnoresEveryNewActionUntilTheFlowHandsOn) {
    coordinator->perform(CaptureAction::area, false);
    settle();
    for (CaptureAction action : app::captureActions::allCases()) {
        coordinator->perform(action, false);
    }
    clock.advance(1s);
    EXPECT_EQ(steps.size(), 1U);
    EXPECT_EQ(requests, 0) << "the busy gate comes before the permission gate";

    coordinator->clearBusy();
    coordinator->perform(CaptureAction::fullscreen, false);
    settle();
    EXPECT_EQ(steps.back(), "full-screen");
}

TEST_F(CaptureCoordinatorTest, ASecondActionDuringTheMenuPauseIsIgnored) {
    coordinator->perform(CaptureAction::area, true);
    coordinator->perform(CaptureAction::window, false);
    clock.advance(250ms);
    EXPECT_EQ(steps, std::vector<std::string>{"select area screenshot"});
}

TEST_F(CaptureCoordinatorTest, FailedStepClearsBusyAndShowsTheOneAlert) {
    fullScreen->shotFailure = CaptureFailure{QStringLiteral("No display."), false};
    coordinator->perform(CaptureAction::fullscreen, false);
    settle();
    EXPECT_FALSE(coordinator->isBusy());
    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_EQ(alerts[0].first, QStringLiteral("Vexlin Capture couldn’t take the screenshot"));
    EXPECT_EQ(alerts[0].second, QStringLiteral("No display."));
}

// A picture that was taken but not saved is not told as a failed capture:
// the alert says what happened to it, names the folder and offers another.
TEST_F(CaptureCoordinatorTest, AnUnsavedPictureIsToldAsTakenWithItsFolder) {
    struct Case {
        const char* name;
        QString description;
        CaptureFailure::Unsaved unsaved;
        QString detail;
    };
    const auto choose = [] {};
    const Case cases[] = {
        {"the reason names the folder",
         QStringLiteral("Nothing can be saved into the save folder “/shots”: Permission denied."),
         {QStringLiteral("/shots"), true, choose},
         QStringLiteral("Nothing can be saved into the save folder “/shots”: Permission denied. "
                        "It is on the clipboard. Choose another folder to save it there.")},
        {"the reason does not",
         QStringLiteral("“x.png” couldn’t be saved because the disk is full."),
         {QStringLiteral("/shots"), false, choose},
         QStringLiteral("It was to be saved in the folder “/shots”. “x.png” couldn’t be saved "
                        "because the disk is full. Choose another folder to save it there.")},
        {"another folder would not help",
         QStringLiteral("The image couldn’t be saved because it couldn’t be encoded."),
         {QStringLiteral("/shots"), true, nullptr},
         QStringLiteral("It was to be saved in the folder “/shots”. The image couldn’t be saved "
                        "because it couldn’t be encoded. It is on the clipboard.")},
    };
    for (const Case& c : cases) {
        alerts.clear();
        CaptureFailure failure(c.description);
        failure.unsaved = std::make_shared<const CaptureFailure::Unsaved>(c.unsaved);
        coordinator->presentCaptureError(failure);
        ASSERT_EQ(alerts.size(), 1U) << c.name;
        EXPECT_EQ(alerts[0].first, QStringLiteral("The screenshot was taken but couldn’t be saved"))
            << c.name;
        EXPECT_EQ(alerts[0].second, c.detail) << c.name;
    }
}

TEST_F(CaptureCoordinatorTest, FailureAlertIsSilentForCancellationAndWelcomesWithoutPermission) {
    coordinator->presentCaptureError(CaptureFailure{QStringLiteral("cancelled"), true});
    EXPECT_TRUE(alerts.empty());
    permitted = false;
    coordinator->presentCaptureError(CaptureFailure{QStringLiteral("denied"), false});
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(welcomes, 1);
}

TEST_F(CaptureCoordinatorTest, MissingPermissionAsksOpensWelcomeAndCapturesNothing) {
    permitted = false;
    captureTimer = 3;
    int expected = 0;
    for (CaptureAction action : app::captureActions::allCases()) {
        coordinator->perform(action, true);
        ++expected;
        EXPECT_EQ(requests, expected);
        EXPECT_EQ(welcomes, expected);
        EXPECT_FALSE(coordinator->isBusy());
        EXPECT_EQ(coordinator->selfTimer(), nullptr) << "permission comes before the self-timer";
    }
    clock.advance(15s);
    EXPECT_TRUE(steps.empty());
}

TEST_F(CaptureCoordinatorTest, SelfTimerDelaysAllButScrollingAndRecord) {
    captureTimer = 3;
    for (CaptureAction action : app::captureActions::allCases()) {
        const std::string name = app::rawValue(action).toStdString();
        const bool waits = action != CaptureAction::scrolling && action != CaptureAction::record;
        EXPECT_EQ(CaptureCoordinator::waitsForSelfTimer(action), waits) << name;
        steps.clear();
        coordinator->perform(action, false);
        settle();
        EXPECT_TRUE(coordinator->isBusy()) << name;
        EXPECT_EQ(coordinator->selfTimer() != nullptr, waits) << name;
        EXPECT_EQ(steps.empty(), waits) << name;
        if (waits) {
            coordinator->perform(action, false); // cancels
        }
        coordinator->clearBusy();
    }
}

TEST_F(CaptureCoordinatorTest, SelfTimerRunsOutThenCapturesWithoutTheMenuPause) {
    captureTimer = 3;
    coordinator->perform(CaptureAction::areaCopy, true);
    ASSERT_NE(coordinator->selfTimer(), nullptr);
    EXPECT_TRUE(escape.isHeld());
    EXPECT_EQ(coordinator->delivery(), CaptureCoordinator::Delivery::standard)
        << "delivery is chosen when the capture starts";

    clock.advance(2999ms);
    EXPECT_EQ(coordinator->selfTimer()->model().remaining(), 1);
    clock.advance(1ms);
    EXPECT_FALSE(escape.isHeld());
    EXPECT_TRUE(steps.empty()) << "the panel is gone a frame before the capture";

    clock.advance(17ms);
    EXPECT_EQ(coordinator->selfTimer(), nullptr);
    settle();
    EXPECT_EQ(steps, std::vector<std::string>{"select area screenshot"});
    EXPECT_EQ(coordinator->delivery(), CaptureCoordinator::Delivery::copyOnly);
    EXPECT_TRUE(coordinator->isBusy());
}

TEST_F(CaptureCoordinatorTest, SameActionCancelsTheCountdownOthersAreIgnored) {
    captureTimer = 5;
    coordinator->perform(CaptureAction::window, false);
    clock.advance(1s);
    coordinator->perform(CaptureAction::area, false);
    coordinator->perform(CaptureAction::record, false);
    ASSERT_NE(coordinator->selfTimer(), nullptr);
    EXPECT_FALSE(coordinator->selfTimer()->isEnded());
    EXPECT_EQ(coordinator->selfTimer()->model().remaining(), 4);

    permitted = false; // the self-timer gate comes before the permission gate
    coordinator->perform(CaptureAction::window, true);
    EXPECT_EQ(requests, 0);
    EXPECT_EQ(coordinator->selfTimer(), nullptr);
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_FALSE(escape.isHeld());
    clock.advance(10s);
    EXPECT_TRUE(steps.empty());
}

TEST_F(CaptureCoordinatorTest, EscapeCancelsTheCountdown) {
    captureTimer = 10;
    coordinator->perform(CaptureAction::text, false);
    clock.advance(2s);
    escape.press();
    EXPECT_EQ(coordinator->selfTimer(), nullptr);
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_FALSE(escape.isHeld());
    clock.advance(10s);
    EXPECT_TRUE(steps.empty());

    coordinator->perform(CaptureAction::text, false);
    EXPECT_NE(coordinator->selfTimer(), nullptr) << "idle again";
}

struct RecordingCase {
    Phase phase;
    int starts;
    int stops;
};

TEST_F(CaptureCoordinatorTest, RecordTogglesTheRunningSessionBeforeAnyOtherGate) {
    const RecordingCase cases[] = {
        {Phase::setup, 1, 0},
        {Phase::recording, 0, 1},
        {Phase::countdown, 0, 0},
        {Phase::finishing, 0, 0},
    };
    coordinator->perform(CaptureAction::area, false); // busy with a selection
    settle();
    permitted = false;
    for (const RecordingCase& c : cases) {
        auto session = std::make_shared<FakeRecording>(c.phase);
        coordinator->setRecording(session);
        coordinator->perform(CaptureAction::record, false);
        EXPECT_EQ(session->starts, c.starts) << static_cast<int>(c.phase);
        EXPECT_EQ(session->stops, c.stops) << static_cast<int>(c.phase);
    }
    EXPECT_EQ(requests, 0);
    EXPECT_EQ(steps.size(), 1U);
}

TEST_F(CaptureCoordinatorTest, ScreenshotsStartWhileARecordingRuns) {
    auto session = std::make_shared<FakeRecording>(Phase::recording);
    coordinator->setRecording(session);
    coordinator->perform(CaptureAction::area, false);
    settle();
    EXPECT_EQ(steps, std::vector<std::string>{"select area screenshot"});
    EXPECT_EQ(session->stops, 0);
}

TEST_F(CaptureCoordinatorTest, ScrollingFinishesOnceWhileOtherActionsAreIgnored) {
    coordinator->perform(CaptureAction::scrolling, false);
    settle();
    auto session = std::make_shared<FakeScrolling>();
    coordinator->setScrolling(session); // the flow holds the busy flag throughout

    coordinator->perform(CaptureAction::area, false);
    coordinator->perform(CaptureAction::scrolling, false);
    EXPECT_TRUE(session->finished);
    EXPECT_EQ(session->finishes, 0) << "finishing runs from the event loop";
    settle();
    EXPECT_EQ(session->finishes, 1);

    coordinator->perform(CaptureAction::scrolling, false);
    settle();
    EXPECT_EQ(session->finishes, 1);
    EXPECT_EQ(steps, std::vector<std::string>{"select area scrolling"});
}

TEST_F(CaptureCoordinatorTest, CopyOnlyLastsUntilThePlainActionAfterIt) {
    coordinator->perform(CaptureAction::fullscreenCopy, false);
    EXPECT_EQ(coordinator->delivery(), CaptureCoordinator::Delivery::copyOnly);
    coordinator->clearBusy();
    coordinator->perform(CaptureAction::fullscreen, false);
    EXPECT_EQ(coordinator->delivery(), CaptureCoordinator::Delivery::standard);
}

TEST_F(CaptureCoordinatorTest, ADestroyedCoordinatorRunsNoPendingStep) {
    coordinator->perform(CaptureAction::area, true);
    coordinator.reset();
    clock.advance(1s);
    EXPECT_TRUE(steps.empty());
}

// ---- the table of flows ----

TEST_F(CaptureCoordinatorTest, EachPurposeReachesItsOwnFlowAndNoOther) {
    const desktop::CaptureDisplay display{nullptr, 1, 1.0, QRectF(0, 0, 800, 600)};
    const struct {
        CaptureAction action;
        capture::SelectionMode mode;
        Purpose purpose;
        std::shared_ptr<testsupport::FakeFlow> flow;
    } cases[] = {
        {CaptureAction::area, capture::SelectionMode::area, Purpose::screenshot, screenshot},
        {CaptureAction::windowCopy, capture::SelectionMode::window, Purpose::screenshot,
         screenshot},
        {CaptureAction::scrolling, capture::SelectionMode::area, Purpose::scrolling, scrolling},
        {CaptureAction::text, capture::SelectionMode::area, Purpose::text, text},
        {CaptureAction::record, capture::SelectionMode::area, Purpose::recording, recording},
    };
    const std::vector<std::shared_ptr<testsupport::FakeFlow>> all = {fullScreen, screenshot,
                                                                     scrolling, text, recording};
    for (const auto& c : cases) {
        const std::string name = app::rawValue(c.action).toStdString();
        for (const auto& flow : all) {
            flow->outcomes.clear();
        }
        selections.clear();
        perform(c.action);
        ASSERT_EQ(selections.size(), 1u) << name;
        EXPECT_EQ(selections[0].mode, c.mode) << name;
        EXPECT_EQ(purposeOf(selections[0]), c.purpose) << name;
        EXPECT_TRUE(coordinator->isSelecting()) << name;
        EXPECT_TRUE(c.flow->outcomes.empty()) << name << ": nothing before the pick";

        endSelection(SelectionOutcome::of(capture::SelectionPick::ofDisplay(display)));
        EXPECT_FALSE(coordinator->isSelecting()) << name;
        EXPECT_FALSE(overlay) << name << ": the overlay is let go";
        for (const auto& flow : all) {
            EXPECT_EQ(flow->outcomes.size(), flow == c.flow ? 1u : 0u) << name;
        }
        EXPECT_TRUE(coordinator->isBusy()) << name << ": the flow clears it, not the coordinator";
        coordinator->clearBusy();
    }
    EXPECT_EQ(fullScreen->shots, 0);
    perform(CaptureAction::fullscreenCopy);
    EXPECT_EQ(fullScreen->shots, 1);
    EXPECT_EQ(steps.back(), "full-screen");
}

TEST_F(CaptureCoordinatorTest, EachPurposeOpensTheOverlayWithItsHint) {
    const struct {
        CaptureAction action;
        QString hint;
        bool takesPictures;
    } cases[] = {
        {CaptureAction::area, QString(), true},
        {CaptureAction::scrolling, "Select the area to scroll, then scroll it slowly", false},
        {CaptureAction::text, "Select the text to copy", true},
        {CaptureAction::record,
         "Select the area to record. Space switches to windows; click the desktop for the whole "
         "screen.",
         false},
    };
    for (const auto& c : cases) {
        const std::string name = app::rawValue(c.action).toStdString();
        perform(c.action);
        ASSERT_FALSE(selections.empty()) << name;
        EXPECT_EQ(selections.back().hint, c.hint) << name;
        EXPECT_EQ(selections.back().takesPictures, c.takesPictures) << name;
        endSelection(SelectionOutcome::cancelled());
        coordinator->clearBusy();
    }
}

TEST_F(CaptureCoordinatorTest, AFlowThatCannotRunSaysSoBeforeAnyOverlay) {
    recording->unavailableWith = CaptureFailure{QStringLiteral("No recorder."), false};
    perform(CaptureAction::record);
    EXPECT_TRUE(selections.empty());
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(details(), std::vector<QString>{"No recorder."});
    EXPECT_TRUE(recording->outcomes.empty());
}

TEST_F(CaptureCoordinatorTest, AnOverlayThatCannotOpenIsTheCapturesFailure) {
    overlayError = desktop::CaptureError::noDisplays;
    perform(CaptureAction::text);
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_FALSE(coordinator->isSelecting());
    EXPECT_EQ(details(),
              std::vector<QString>{desktop::errorDescription(desktop::CaptureError::noDisplays)});
}

TEST_F(CaptureCoordinatorTest, AnOutcomeAfterTheCoordinatorIsGoneIsDropped) {
    perform(CaptureAction::area);
    const auto late = pendingSelection;
    coordinator.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(overlay) << "the overlay went with it";
    late(SelectionOutcome::cancelled());
    EXPECT_TRUE(screenshot->outcomes.empty());
}

// Purposes whose flow is not built answer "not available" from their own
// entry: no overlay opens and nothing claims to be captured.
TEST_F(CaptureCoordinatorTest, AnUnbuiltPurposeGetsTheNotAvailableAnswer) {
    capture::CaptureFlows partial;
    partial.screenshot = screenshot;
    makeCoordinator(partial);
    const QString notAvailable = capture::UnavailableFlow::failure().description;
    EXPECT_TRUE(notAvailable.contains(QStringLiteral("Nothing was captured")));
    for (CaptureAction action : app::captureActions::allCases()) {
        const std::string name = app::rawValue(action).toStdString();
        alerts.clear();
        selections.clear();
        perform(action);
        const bool built = action == CaptureAction::area || action == CaptureAction::window ||
                           action == CaptureAction::areaCopy || action == CaptureAction::windowCopy;
        EXPECT_EQ(selections.size(), built ? 1u : 0u) << name;
        if (built) {
            endSelection(SelectionOutcome::cancelled());
            coordinator->clearBusy();
            continue;
        }
        EXPECT_FALSE(coordinator->isBusy()) << name;
        EXPECT_EQ(details(), std::vector<QString>{notAvailable}) << name;
    }
    EXPECT_EQ(fullScreen->shots, 0);
}

} // namespace
