#include "capture/ScrollingFlows.h"

#include "support/FakeEscapeKey.h"
#include "support/ManualScheduler.h"

#include "app/CaptureAction.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

using capture::CaptureCoordinator;
using capture::ScrollingFlows;
using capture::SelectionOutcome;
using namespace std::chrono_literals;

// A session that only records what its flow and the coordinator do to it.
class FakeSession : public capture::ScrollingSessionHandle {
public:
    bool isFinished() const override { return finished; }
    void setFinished() override { finished = true; }
    void finish() override { log.push_back("finish"); }
    void showPanels() override { log.push_back("panels"); }
    void start() override { log.push_back("start"); }
    void setEscape(int token) override { escape = token; }
    void cancelOnce() override { log.push_back("cancel"); }

    bool finished = false;
    std::optional<int> escape;
    std::vector<std::string> log;
};

class ScrollingFlowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        display.displayID = 7;
        display.scale = 2;
        display.frame = QRectF(1920, 0, 1280, 1024);

        ScrollingFlows::Services s;
        s.openSelection = [this](capture::SelectionMode mode,
                                 ScrollingFlows::SelectionCompletion completion) {
            ++selections;
            selectionMode = mode;
            selectionEnded = std::move(completion);
            return std::variant<ScrollingFlows::SelectionHandle, desktop::CaptureError>(
                std::make_unique<QObject>());
        };
        s.makeSession = [this](const desktop::CaptureDisplay& d, const QRectF& region,
                               ScrollingFlows::SessionCompletion completion) {
            sessionDisplay = d;
            sessionRegion = region;
            sessionEnded = std::move(completion);
            session = std::make_shared<FakeSession>();
            return session;
        };
        s.escapeKey = &escape;
        s.scheduler = &clock;
        s.delivery.settings = [] {
            capture::DeliverySettings settings;
            settings.playSounds = false;
            settings.copyToClipboard = false;
            settings.saveToDisk = true;
            settings.showQuickAccess = false;
            return settings;
        };
        s.delivery.encode = [](const QImage&, app::ImageFormat,
                               double) -> std::optional<QByteArray> { return "png"; };
        s.delivery.save = [this](const QByteArray&, const QDateTime&,
                                 app::ImageFormat) -> app::Result<QString> {
            ++saves;
            return QStringLiteral("/shots/tall.png");
        };
        flows = std::make_shared<ScrollingFlows>(std::move(s));

        CaptureCoordinator::Services services;
        services.captureTimer = [this] { return timer; };
        services.preflightScreenCapture = [] { return true; };
        services.alert = [this](const QString&, const QString& detail) {
            alerts.push_back(detail);
        };
        services.flows = flows;
        services.scheduler = &clock;
        services.escapeKey = &escape;
        coordinator = std::make_unique<CaptureCoordinator>(services);
    }
    void TearDown() override {
        coordinator.reset();
        flows.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The scrolling hot key, and the overlay open.
    void select() {
        coordinator->perform(app::CaptureAction::scrolling, false);
        clock.advance(0ms);
        ASSERT_TRUE(selectionEnded);
        ASSERT_TRUE(coordinator->isBusy());
    }
    SelectionOutcome area(const QRectF& rect) const {
        return SelectionOutcome::of(capture::SelectionPick::area(display, rect));
    }

    testsupport::ManualScheduler clock;
    testsupport::FakeEscapeKey escape;
    desktop::CaptureDisplay display;
    std::shared_ptr<ScrollingFlows> flows;
    std::unique_ptr<CaptureCoordinator> coordinator;
    int selections = 0;
    std::optional<capture::SelectionMode> selectionMode;
    ScrollingFlows::SelectionCompletion selectionEnded;
    std::shared_ptr<FakeSession> session;
    std::optional<desktop::CaptureDisplay> sessionDisplay;
    QRectF sessionRegion;
    ScrollingFlows::SessionCompletion sessionEnded;
    std::vector<QString> alerts;
    int saves = 0;
    // Scrolling never waits for the self-timer.
    int timer = 5;
};

TEST_F(ScrollingFlowsTest, RegionOfEachOutcome) {
    desktop::WindowInfo window;
    window.frame = QRectF(3100, 900, 300, 300); // partly off the display's right and bottom
    desktop::WindowInfo away;
    away.frame = QRectF(100, 100, 300, 300); // on another display altogether
    const struct {
        const char* name;
        SelectionOutcome outcome;
        std::optional<QRectF> region;
    } cases[] = {
        {"area", area(QRectF(10, 20, 300, 400)), QRectF(10, 20, 300, 400)},
        {"window, clipped", SelectionOutcome::of(capture::SelectionPick::ofWindow(window, display)),
         QRectF(1180, 900, 100, 124)},
        {"window off its display",
         SelectionOutcome::of(capture::SelectionPick::ofWindow(away, display)), std::nullopt},
        {"display", SelectionOutcome::of(capture::SelectionPick::ofDisplay(display)),
         QRectF(0, 0, 1280, 1024)},
        {"cancelled", SelectionOutcome::cancelled(), std::nullopt},
        {"failed", SelectionOutcome::failed(desktop::CaptureError::noDisplays), std::nullopt},
    };
    for (const auto& c : cases) {
        const auto region = ScrollingFlows::regionOf(c.outcome);
        ASSERT_EQ(region.has_value(), c.region.has_value()) << c.name;
        if (region) {
            EXPECT_EQ(region->second, *c.region) << c.name;
            EXPECT_EQ(region->first, display) << c.name;
        }
    }
}

TEST_F(ScrollingFlowsTest, RegionsBelowFortyPointsStartNothing) {
    for (const QRectF& rect : {QRectF(0, 0, 39, 200), QRectF(0, 0, 200, 39)}) {
        select();
        selectionEnded(area(rect));
        EXPECT_FALSE(session) << rect.width() << "x" << rect.height();
        EXPECT_FALSE(coordinator->isBusy());
        EXPECT_TRUE(alerts.empty());
    }
}

TEST_F(ScrollingFlowsTest, ARegionStartsASessionThatKeepsTheCoordinatorBusy) {
    select();
    EXPECT_EQ(selectionMode, capture::SelectionMode::area);
    selectionEnded(area(QRectF(5, 6, 40, 40)));
    ASSERT_TRUE(session);
    EXPECT_EQ(sessionRegion, QRectF(5, 6, 40, 40));
    EXPECT_EQ(sessionDisplay, display);
    EXPECT_EQ(coordinator->scrolling(), session.get());
    EXPECT_EQ(session->log, std::vector<std::string>{"panels"}) << "started from the event loop";
    ASSERT_TRUE(session->escape);
    EXPECT_TRUE(escape.isHeld());
    clock.advance(0ms);
    EXPECT_EQ(session->log, (std::vector<std::string>{"panels", "start"}));
    EXPECT_TRUE(coordinator->isBusy());

    // Other captures are ignored meanwhile.
    coordinator->perform(app::CaptureAction::area, false);
    clock.advance(0ms);
    EXPECT_EQ(selections, 1);

    escape.press();
    EXPECT_EQ(session->log.back(), "cancel");
}

TEST_F(ScrollingFlowsTest, TheScrollingActionAgainFinishesTheSessionOnce) {
    select();
    selectionEnded(area(QRectF(0, 0, 400, 300)));
    clock.advance(0ms);
    coordinator->perform(app::CaptureAction::scrolling, false);
    coordinator->perform(app::CaptureAction::scrolling, false);
    clock.advance(0ms);
    EXPECT_EQ(std::count(session->log.begin(), session->log.end(), "finish"), 1);
    EXPECT_EQ(selections, 1);
}

TEST_F(ScrollingFlowsTest, TheSessionsPictureIsDeliveredLikeAScreenshot) {
    select();
    selectionEnded(area(QRectF(0, 0, 400, 300)));
    clock.advance(0ms);
    app::Capture capture;
    capture.image = QImage(800, 4000, QImage::Format_RGB32);
    capture.scale = 2;
    sessionEnded(capture);
    EXPECT_EQ(coordinator->scrolling(), nullptr);
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(saves, 1);
}

TEST_F(ScrollingFlowsTest, NothingBackDeliversNothing) {
    select();
    selectionEnded(area(QRectF(0, 0, 400, 300)));
    sessionEnded(std::nullopt);
    EXPECT_EQ(coordinator->scrolling(), nullptr);
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(saves, 0);
}

TEST_F(ScrollingFlowsTest, AFailedSelectionAlertsAndACancelledOneIsQuiet) {
    select();
    selectionEnded(SelectionOutcome::cancelled());
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_TRUE(alerts.empty());
    select();
    selectionEnded(SelectionOutcome::failed(desktop::CaptureError::noDisplays));
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(alerts, std::vector<QString>{"No display could be captured."});
    EXPECT_FALSE(session);
}

TEST_F(ScrollingFlowsTest, OtherPurposesGoOn) {
    timer = 0;
    coordinator->perform(app::CaptureAction::text, false);
    clock.advance(0ms);
    EXPECT_EQ(selections, 0);
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(alerts.size(), 1u) << "not built yet, and says so";
}

} // namespace
