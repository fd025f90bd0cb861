#include "capture/RecordingFlow.h"

#include "capture/OutcomeRegion.h"

#include "support/CoordinatorFixture.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using app::CaptureAction;
using capture::CaptureCoordinator;
using capture::CaptureFailure;
using capture::RecordingFlow;
using capture::SelectionOutcome;
using capture::SelectionPick;
using desktop::CaptureDisplay;
using desktop::WindowInfo;
using namespace std::chrono_literals;
using Phase = capture::RecordingSessionControl::Phase;

namespace {

class FakeSession : public RecordingFlow::Session {
public:
    FakeSession(RecordingFlow::Request request, RecordingFlow::Completion completion,
                RecordingFlow::Progress progress, CaptureCoordinator* coordinator)
        : request(std::move(request))
        , completion(std::move(completion))
        , progress(std::move(progress))
        , coordinator(coordinator) {}
    ~FakeSession() override { ++*destroyed; }

    Phase phase() const override { return current; }
    void start() override {
        ++starts;
        current = Phase::recording;
    }
    void stop() override {
        ++stops;
        current = Phase::finishing;
        if (finishesWhenStopped) {
            // The session ends from inside its own call, as a failed start does.
            const auto done = completion;
            done(finishesWith);
            // Still alive here: it must not have been destroyed by its completion.
            ++callsAfterCompletion;
        }
    }
    void present() override {
        ++presents;
        storedWhenPresented = coordinator->recording() == this;
    }

    RecordingFlow::Request request;
    RecordingFlow::Completion completion;
    RecordingFlow::Progress progress;
    CaptureCoordinator* coordinator;
    Phase current = Phase::setup;
    int starts = 0;
    int stops = 0;
    int presents = 0;
    int callsAfterCompletion = 0;
    bool storedWhenPresented = false;
    bool finishesWhenStopped = false;
    std::optional<app::Recording> finishesWith;
    std::shared_ptr<int> destroyed = std::make_shared<int>(0);
};

desktop::CaptureDisplay display() {
    desktop::CaptureDisplay display;
    display.displayID = 7;
    display.frame = QRectF(1920, 0, 1280, 800);
    return display;
}

desktop::WindowInfo window(QRectF frame) {
    desktop::WindowInfo info;
    info.id = 0x2a00007;
    info.frame = frame;
    return info;
}

app::Recording recordingOf(app::Recording::Format format) {
    app::Recording recording;
    recording.url = QUrl::fromLocalFile(QStringLiteral("/tmp/Recordings/a.mp4"));
    recording.format = format;
    return recording;
}

class RecordingFlowTest : public testsupport::CoordinatorFixture {
protected:
    void SetUp() override { build(flowServices()); }
    void TearDown() override {
        flow.reset();
        CoordinatorFixture::TearDown();
    }

    // The coordinator with this flow for recordings and a plain one for
    // screenshots.
    void build(RecordingFlow::Services services) {
        flow = std::make_shared<RecordingFlow>(std::move(services));
        capture::CaptureFlows flows;
        flows.screenshot = screenshots;
        flows.recording = flow;
        makeCoordinator(flows);
        coordinator->recordingIndicator = [this](const std::optional<QString>& elapsed) {
            indicator.push_back(elapsed);
        };
    }

    RecordingFlow::Services flowServices() {
        RecordingFlow::Services services;
        services.recordWindowsAlone = [this] { return recordWindowsAlone; };
        services.makeSession = [this](const RecordingFlow::Request& request,
                                      RecordingFlow::Completion completion,
                                      RecordingFlow::Progress progress) {
            auto session = std::make_shared<FakeSession>(request, std::move(completion),
                                                         std::move(progress), coordinator.get());
            sessions.push_back(session);
            return session;
        };
        services.settings = [this] { return settings; };
        services.copyFileReference = [this](const QUrl& file) {
            delivered.push_back("copy " + file.toLocalFile().toStdString());
        };
        services.saveCopy = [this](const app::Recording&) -> std::optional<CaptureFailure> {
            delivered.push_back("save");
            return saveFailure;
        };
        services.openVideoEditor = [this](const app::Recording&) {
            delivered.push_back("video editor");
        };
        services.showQuickAccess = [this](const app::Recording&) {
            delivered.push_back("quick access");
        };
        return services;
    }

    // The record action up to its selection, which leaves the coordinator busy.
    void beginRecordAction() {
        perform(CaptureAction::record);
        ASSERT_TRUE(coordinator->isBusy());
        ASSERT_TRUE(pendingSelection);
    }
    long recordSelections() const {
        return std::count(steps.begin(), steps.end(), "select area recording");
    }

    FakeSession* current() const { return sessions.empty() ? nullptr : sessions.back().get(); }

    std::shared_ptr<testsupport::FakeFlow> screenshots = std::make_shared<testsupport::FakeFlow>();
    std::shared_ptr<RecordingFlow> flow;
    bool recordWindowsAlone = false;
    capture::RecordingDeliverySettings settings;
    std::optional<CaptureFailure> saveFailure;
    std::vector<std::shared_ptr<FakeSession>> sessions;
    std::vector<std::optional<QString>> indicator;
    std::vector<std::string> delivered;
};

struct RegionCase {
    const char* name;
    SelectionOutcome outcome;
    // None: no session is started.
    std::optional<QRect> region;
};

TEST_F(RecordingFlowTest, TheRegionIsWholePointsOfTheDisplayAndTinyOnesAreDropped) {
    const desktop::CaptureDisplay d = display();
    const RegionCase cases[] = {
        {"area", SelectionOutcome::of(SelectionPick::area(d, QRectF(100, 50, 400, 300))),
         QRect(100, 50, 400, 300)},
        {"fractional area grows to whole points",
         SelectionOutcome::of(SelectionPick::area(d, QRectF(10.5, 20.25, 100.25, 50.5))),
         QRect(10, 20, 101, 51)},
        {"16 x 16 is enough", SelectionOutcome::of(SelectionPick::area(d, QRectF(0, 0, 16, 16))),
         QRect(0, 0, 16, 16)},
        {"15 wide is not", SelectionOutcome::of(SelectionPick::area(d, QRectF(0, 0, 15, 100))),
         std::nullopt},
        {"15.9 high is not", SelectionOutcome::of(SelectionPick::area(d, QRectF(0, 0, 100, 15.9))),
         std::nullopt},
        {"whole display", SelectionOutcome::of(SelectionPick::ofDisplay(d)),
         QRect(0, 0, 1280, 800)},
        {"window moved into the display's points",
         SelectionOutcome::of(SelectionPick::ofWindow(window(QRectF(2020, 100, 640, 480)), d)),
         QRect(100, 100, 640, 480)},
        {"window partly off the display is clipped",
         SelectionOutcome::of(SelectionPick::ofWindow(window(QRectF(2900, 700, 640, 480)), d)),
         QRect(980, 700, 300, 100)},
        {"window wholly off the display",
         SelectionOutcome::of(SelectionPick::ofWindow(window(QRectF(100, 100, 640, 480)), d)),
         std::nullopt},
        {"window clipped below the minimum",
         SelectionOutcome::of(SelectionPick::ofWindow(window(QRectF(3190, 100, 640, 480)), d)),
         std::nullopt},
    };
    for (const RegionCase& c : cases) {
        SCOPED_TRACE(c.name);
        sessions.clear();
        coordinator->setRecording(nullptr);
        beginRecordAction();
        endSelection(c.outcome);

        EXPECT_FALSE(coordinator->isBusy());
        EXPECT_TRUE(alerts.empty());
        if (!c.region) {
            EXPECT_TRUE(sessions.empty());
            EXPECT_EQ(coordinator->recording(), nullptr);
            continue;
        }
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_EQ(current()->request.region, *c.region);
        EXPECT_EQ(current()->request.display, d);
        EXPECT_EQ(current()->presents, 1);
        EXPECT_TRUE(current()->storedWhenPresented);
        EXPECT_EQ(coordinator->recording(), current());
    }
}

TEST_F(RecordingFlowTest, AWindowIsRecordedAloneOnlyWhenTheSettingSaysSo) {
    const desktop::CaptureDisplay d = display();
    struct WindowCase {
        const char* name;
        SelectionOutcome outcome;
        bool alone;
        std::optional<std::uint32_t> windowID;
    };
    const WindowCase cases[] = {
        {"window, setting on",
         SelectionOutcome::of(SelectionPick::ofWindow(window(QRectF(2000, 0, 300, 300)), d)), true,
         0x2a00007},
        {"window, setting off",
         SelectionOutcome::of(SelectionPick::ofWindow(window(QRectF(2000, 0, 300, 300)), d)), false,
         std::nullopt},
        {"area, setting on", SelectionOutcome::of(SelectionPick::area(d, QRectF(0, 0, 300, 300))),
         true, std::nullopt},
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(c.name);
        coordinator->setRecording(nullptr);
        recordWindowsAlone = c.alone;
        beginRecordAction();
        endSelection(c.outcome);
        ASSERT_NE(current(), nullptr);
        EXPECT_EQ(current()->request.windowID, c.windowID);
    }
}

TEST_F(RecordingFlowTest, FailedAndCancelledSelectionsStartNothing) {
    beginRecordAction();
    endSelection(SelectionOutcome::cancelled());
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_TRUE(alerts.empty());

    beginRecordAction();
    endSelection(SelectionOutcome::failed(desktop::CaptureError::permissionMissing));
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(sessions.empty());
}

// Said before the user picks anything, not after.
TEST_F(RecordingFlowTest, WithoutARecordingSubsystemTheRecordActionSaysSo) {
    RecordingFlow::Services services = flowServices();
    services.makeSession = nullptr;
    build(services);
    ASSERT_TRUE(flow->unavailable());

    perform(CaptureAction::record);
    EXPECT_TRUE(selections.empty());
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(details(), std::vector<QString>{RecordingFlow::cannotRecord().description});
    EXPECT_EQ(coordinator->recording(), nullptr);
}

TEST_F(RecordingFlowTest, TheRecordActionTogglesTheSessionAndOtherActionsStillWork) {
    beginRecordAction();
    endSelection(SelectionOutcome::of(SelectionPick::ofDisplay(display())));
    FakeSession* session = current();
    ASSERT_NE(session, nullptr);

    // Not busy: a screenshot starts while the session waits.
    perform(CaptureAction::area);
    EXPECT_EQ(steps.back(), "select area screenshot");
    endSelection(SelectionOutcome::cancelled());
    EXPECT_EQ(screenshots->outcomes.size(), 1u);
    coordinator->clearBusy();

    coordinator->perform(CaptureAction::record, false);
    EXPECT_EQ(session->starts, 1);
    EXPECT_EQ(session->current, Phase::recording);

    session->progress(QStringLiteral("0:01"));
    session->progress(std::nullopt);
    ASSERT_EQ(indicator.size(), 2u);
    EXPECT_EQ(indicator[0], QStringLiteral("0:01"));
    EXPECT_EQ(indicator[1], std::nullopt);

    coordinator->perform(CaptureAction::record, false);
    EXPECT_EQ(session->stops, 1);
    // While saving, the record action does nothing.
    coordinator->perform(CaptureAction::record, false);
    EXPECT_EQ(session->starts, 1);
    EXPECT_EQ(session->stops, 1);
    // No new selection was started by any of the record presses.
    EXPECT_EQ(recordSelections(), 1);
}

TEST_F(RecordingFlowTest, TheEndOfASessionClearsItAndTheIndicatorAndDelivers) {
    beginRecordAction();
    endSelection(SelectionOutcome::of(SelectionPick::ofDisplay(display())));
    std::weak_ptr<FakeSession> weak = sessions.back();
    FakeSession* session = current();
    session->finishesWhenStopped = true;
    session->finishesWith = recordingOf(app::Recording::Format::video);
    const std::shared_ptr<int> destroyed = session->destroyed;
    session->current = Phase::recording;
    sessions.clear();

    coordinator->perform(CaptureAction::record, false);
    // The session finished from inside its own stop and lived through it.
    EXPECT_EQ(*destroyed, 0);
    EXPECT_EQ(coordinator->recording(), nullptr);
    ASSERT_FALSE(indicator.empty());
    EXPECT_EQ(indicator.back(), std::nullopt);
    EXPECT_EQ(delivered, (std::vector<std::string>{"copy /tmp/Recordings/a.mp4", "quick access"}));

    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(*destroyed, 1);
    EXPECT_TRUE(weak.expired());

    // The next record action opens a new selection.
    perform(CaptureAction::record);
    EXPECT_EQ(recordSelections(), 2);
}

TEST_F(RecordingFlowTest, ASessionEndedWithoutARecordingDeliversNothing) {
    beginRecordAction();
    endSelection(SelectionOutcome::of(SelectionPick::ofDisplay(display())));
    current()->completion(std::nullopt);
    EXPECT_EQ(coordinator->recording(), nullptr);
    EXPECT_EQ(indicator, (std::vector<std::optional<QString>>{std::nullopt}));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(RecordingFlowTest, AStaleSessionsEndLeavesTheCurrentOneAlone) {
    beginRecordAction();
    endSelection(SelectionOutcome::of(SelectionPick::ofDisplay(display())));
    const auto first = sessions.back();
    coordinator->setRecording(nullptr);
    beginRecordAction();
    endSelection(SelectionOutcome::of(SelectionPick::ofDisplay(display())));

    first->completion(std::nullopt);
    EXPECT_EQ(coordinator->recording(), current());
}

TEST_F(RecordingFlowTest, CompletionsAfterTheFlowIsGoneDoNothing) {
    beginRecordAction();
    endSelection(SelectionOutcome::of(SelectionPick::ofDisplay(display())));
    coordinator.reset();
    flow.reset();
    current()->completion(recordingOf(app::Recording::Format::video));
    EXPECT_TRUE(delivered.empty());
}

struct DeliveryCase {
    const char* name;
    capture::RecordingDeliverySettings settings;
    app::Recording::Format format;
    bool saveFails;
    std::vector<std::string> delivered;
    size_t alerts;
};

TEST_F(RecordingFlowTest, DeliveryFollowsTheSettingsInOrder) {
    using F = app::Recording::Format;
    const DeliveryCase cases[] = {
        {"everything on, video",
         {true, true, true, true},
         F::video,
         false,
         {"copy /tmp/Recordings/a.mp4", "save", "video editor"},
         0},
        {"editor on, gif goes to quick access",
         {false, false, true, true},
         F::gif,
         false,
         {"quick access"},
         0},
        {"editor on, gif, quick access off", {false, false, true, false}, F::gif, false, {}, 0},
        {"save fails, the rest goes on",
         {false, true, false, true},
         F::video,
         true,
         {"save", "quick access"},
         1},
        {"all off", {false, false, false, false}, F::video, false, {}, 0},
    };
    for (const DeliveryCase& c : cases) {
        SCOPED_TRACE(c.name);
        delivered.clear();
        alerts.clear();
        settings = c.settings;
        saveFailure =
            c.saveFails ? std::optional<CaptureFailure>(CaptureFailure{"disk full"}) : std::nullopt;
        flow->deliverRecording(*coordinator, recordingOf(c.format));
        EXPECT_EQ(delivered, c.delivered);
        EXPECT_EQ(alerts.size(), c.alerts);
    }
}

TEST_F(RecordingFlowTest, AMovieTheSaveFolderRefusesIsToldOfWithWhereItIs) {
    settings = {false, true, false, true};
    saveFailure = CaptureFailure{QStringLiteral("No space left on device.")};
    flow->deliverRecording(*coordinator, recordingOf(app::Recording::Format::video));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].first,
              QStringLiteral("The recording couldn’t be copied into the save folder"));
    EXPECT_EQ(alerts[0].second, QStringLiteral("No space left on device. The movie is kept in "
                                               "“/tmp/Recordings/a.mp4”."));
}

TEST_F(RecordingFlowTest, ACancelledFolderChoiceIsSilent) {
    settings = {false, true, false, false};
    saveFailure = CaptureFailure{QString(), true};
    flow->deliverRecording(*coordinator, recordingOf(app::Recording::Format::video));
    EXPECT_TRUE(alerts.empty());
}

} // namespace
