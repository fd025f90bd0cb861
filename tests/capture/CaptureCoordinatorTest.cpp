#include "capture/CaptureCoordinator.h"
#include "capture/UnbuiltCaptureFlows.h"
#include "desktop/CaptureError.h"

#include "support/FakeEscapeKey.h"
#include "support/ManualScheduler.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using app::CaptureAction;
using capture::CaptureCoordinator;
using capture::CaptureFailure;
using namespace std::chrono_literals;
using Phase = capture::RecordingSessionControl::Phase;

namespace {

// Records which step ran; a flow that took over (nothing returned) leaves the
// busy flag to be cleared later, like a selection overlay.
class FakeFlows : public CaptureCoordinator::Flows {
public:
    std::optional<CaptureFailure> captureFullScreen(CaptureCoordinator&) override {
        steps.push_back("full-screen");
        return failure;
    }
    std::optional<CaptureFailure> select(CaptureCoordinator&,
                                         CaptureCoordinator::SelectionMode mode,
                                         CaptureCoordinator::Purpose purpose) override {
        static const char* purposes[] = {"screenshot", "scrolling", "text", "recording"};
        steps.push_back(std::string("select ") +
                        (mode == CaptureCoordinator::SelectionMode::area ? "area " : "window ") +
                        purposes[static_cast<int>(purpose)]);
        return failure;
    }
    std::vector<std::string> steps;
    std::optional<CaptureFailure> failure;
};

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

class CaptureCoordinatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        CaptureCoordinator::Services services;
        services.captureTimer = [this] { return captureTimer; };
        services.preflightScreenCapture = [this] { return permitted; };
        services.requestScreenCapture = [this] { ++requests; };
        services.showWelcome = [this] { ++welcomes; };
        services.alert = [this](const QString& message, const QString& detail) {
            alerts.emplace_back(message, detail);
        };
        services.flows = flows;
        services.scheduler = &clock;
        services.escapeKey = &escape;
        coordinator = std::make_unique<CaptureCoordinator>(services);
    }
    void TearDown() override {
        coordinator.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Lets the coordinator's queued step run (hot keys wait no time).
    void settle() { clock.advance(0ms); }

    testsupport::ManualScheduler clock;
    testsupport::FakeEscapeKey escape;
    std::shared_ptr<FakeFlows> flows = std::make_shared<FakeFlows>();
    int captureTimer = 0;
    bool permitted = true;
    int requests = 0;
    int welcomes = 0;
    std::vector<std::pair<QString, QString>> alerts;
    std::unique_ptr<CaptureCoordinator> coordinator;
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
        flows->steps.clear();
        coordinator->perform(c.action, false);
        EXPECT_TRUE(coordinator->isBusy()) << name;
        EXPECT_EQ(coordinator->delivery(), c.delivery) << name;
        EXPECT_TRUE(flows->steps.empty()) << name << ": not inside the caller's event";
        settle();
        EXPECT_EQ(flows->steps, std::vector<std::string>{c.step}) << name;
        coordinator->clearBusy();
    }
}

TEST_F(CaptureCoordinatorTest, MenuActionsWaitAQuarterSecond) {
    coordinator->perform(CaptureAction::area, true);
    clock.advance(249ms);
    EXPECT_TRUE(flows->steps.empty());
    clock.advance(1ms);
    EXPECT_EQ(flows->steps.size(), 1U);
}

TEST_F(CaptureCoordinatorTest, BusyIgnoresEveryNewActionUntilTheFlowHandsOn) {
    coordinator->perform(CaptureAction::area, false);
    settle();
    for (CaptureAction action : app::captureActions::allCases()) {
        coordinator->perform(action, false);
    }
    clock.advance(1s);
    EXPECT_EQ(flows->steps.size(), 1U);
    EXPECT_EQ(requests, 0) << "the busy gate comes before the permission gate";

    coordinator->clearBusy();
    coordinator->perform(CaptureAction::fullscreen, false);
    settle();
    EXPECT_EQ(flows->steps.back(), "full-screen");
}

TEST_F(CaptureCoordinatorTest, ASecondActionDuringTheMenuPauseIsIgnored) {
    coordinator->perform(CaptureAction::area, true);
    coordinator->perform(CaptureAction::window, false);
    clock.advance(250ms);
    EXPECT_EQ(flows->steps, std::vector<std::string>{"select area screenshot"});
}

TEST_F(CaptureCoordinatorTest, FailedStepClearsBusyAndShowsTheOneAlert) {
    flows->failure = CaptureFailure{QStringLiteral("No display."), false};
    coordinator->perform(CaptureAction::fullscreen, false);
    settle();
    EXPECT_FALSE(coordinator->isBusy());
    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_EQ(alerts[0].first, QStringLiteral("Vexlin Capture couldn’t take the screenshot"));
    EXPECT_EQ(alerts[0].second, QStringLiteral("No display."));
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
    EXPECT_TRUE(flows->steps.empty());
}

TEST_F(CaptureCoordinatorTest, SelfTimerDelaysAllButScrollingAndRecord) {
    captureTimer = 3;
    for (CaptureAction action : app::captureActions::allCases()) {
        const std::string name = app::rawValue(action).toStdString();
        const bool waits = action != CaptureAction::scrolling && action != CaptureAction::record;
        EXPECT_EQ(CaptureCoordinator::waitsForSelfTimer(action), waits) << name;
        flows->steps.clear();
        coordinator->perform(action, false);
        settle();
        EXPECT_TRUE(coordinator->isBusy()) << name;
        EXPECT_EQ(coordinator->selfTimer() != nullptr, waits) << name;
        EXPECT_EQ(flows->steps.empty(), waits) << name;
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
    EXPECT_TRUE(flows->steps.empty()) << "the panel is gone a frame before the capture";

    clock.advance(17ms);
    EXPECT_EQ(coordinator->selfTimer(), nullptr);
    settle();
    EXPECT_EQ(flows->steps, std::vector<std::string>{"select area screenshot"});
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
    EXPECT_TRUE(flows->steps.empty());
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
    EXPECT_TRUE(flows->steps.empty());

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
    EXPECT_EQ(flows->steps.size(), 1U);
}

TEST_F(CaptureCoordinatorTest, ScreenshotsStartWhileARecordingRuns) {
    auto session = std::make_shared<FakeRecording>(Phase::recording);
    coordinator->setRecording(session);
    coordinator->perform(CaptureAction::area, false);
    settle();
    EXPECT_EQ(flows->steps, std::vector<std::string>{"select area screenshot"});
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
    EXPECT_EQ(flows->steps, std::vector<std::string>{"select area scrolling"});
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
    EXPECT_TRUE(flows->steps.empty());
}

TEST(UnbuiltCaptureFlows, FailInsteadOfPretendingToCapture) {
    testsupport::ManualScheduler clock;
    testsupport::FakeEscapeKey escape;
    std::vector<QString> details;
    CaptureCoordinator::Services services = CaptureCoordinator::defaultServices();
    services.preflightScreenCapture = [] { return true; };
    services.alert = [&](const QString&, const QString& detail) { details.push_back(detail); };
    services.flows = std::make_shared<capture::UnbuiltCaptureFlows>();
    services.scheduler = &clock;
    services.escapeKey = &escape;
    CaptureCoordinator coordinator(services);
    for (CaptureAction action : app::captureActions::allCases()) {
        coordinator.perform(action, false);
        clock.advance(0ms);
        EXPECT_FALSE(coordinator.isBusy()) << app::rawValue(action).toStdString();
    }
    ASSERT_EQ(details.size(), 9U);
    EXPECT_TRUE(details[0].contains(QStringLiteral("Nothing was captured")));
}

// The program's own flows without an X server to read: every screenshot
// action, the scrolling capture and text capture end with the capture error;
// recording, without a recording session, says it is not available.
TEST(DefaultCaptureFlows, WithoutAScreenEveryActionFailsCleanly) {
    testsupport::ManualScheduler clock;
    testsupport::FakeEscapeKey escape;
    std::vector<QString> details;
    CaptureCoordinator::Services services = CaptureCoordinator::defaultServices();
    services.preflightScreenCapture = [] { return true; };
    services.alert = [&](const QString&, const QString& detail) { details.push_back(detail); };
    services.scheduler = &clock;
    services.escapeKey = &escape;
    CaptureCoordinator coordinator(services);
    for (CaptureAction action : app::captureActions::allCases()) {
        details.clear();
        coordinator.perform(action, false);
        clock.advance(0ms);
        const std::string name = app::rawValue(action).toStdString();
        EXPECT_FALSE(coordinator.isBusy()) << name;
        ASSERT_EQ(details.size(), 1U) << name;
        const bool readsTheScreen = action != CaptureAction::record;
        EXPECT_EQ(details[0] == desktop::errorDescription(desktop::CaptureError::noDisplays),
                  readsTheScreen)
            << name;
    }
}

} // namespace
