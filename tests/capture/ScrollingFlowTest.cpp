#include "capture/ScrollingFlow.h"
#include "capture/ScreenshotFlow.h"

#include "support/CoordinatorFixture.h"

#include "app/CaptureAction.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

using capture::CaptureCoordinator;
using capture::ScrollingFlow;
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

class ScrollingFlowTest : public testsupport::CoordinatorFixture {
protected:
    void SetUp() override {
        display.displayID = 7;
        display.scale = 2;
        display.frame = QRectF(1920, 0, 1280, 1024);
        captureTimer = 5; // scrolling never waits for the self-timer

        capture::ScreenshotDelivery::Services outputs;
        outputs.settings = [] {
            capture::DeliverySettings settings;
            settings.playSounds = false;
            settings.copyToClipboard = false;
            settings.saveToDisk = true;
            settings.showQuickAccess = false;
            return settings;
        };
        outputs.encode = [](const QImage&, app::ImageFormat, double) -> std::optional<QByteArray> {
            return "png";
        };
        outputs.save = [this](const QByteArray&, const QDateTime&,
                              app::ImageFormat) -> app::Result<QString> {
            ++saves;
            return QStringLiteral("/shots/tall.png");
        };
        delivery = std::make_shared<const capture::ScreenshotDelivery>(outputs);

        ScrollingFlow::Services s;
        s.makeSession = [this](const desktop::CaptureDisplay& d, const QRectF& region,
                               ScrollingFlow::SessionCompletion completion) {
            sessionDisplay = d;
            sessionRegion = region;
            sessionEnded = std::move(completion);
            session = std::make_shared<FakeSession>();
            return session;
        };
        s.escapeKey = &escape;
        s.scheduler = &clock;
        flow = std::make_shared<ScrollingFlow>(delivery, std::move(s));
        capture::CaptureFlows flows;
        flows.scrolling = flow;
        makeCoordinator(flows);
    }

    // The scrolling hot key, and the overlay open.
    void select() {
        perform(app::CaptureAction::scrolling);
        ASSERT_TRUE(pendingSelection);
        ASSERT_TRUE(coordinator->isBusy());
    }
    SelectionOutcome area(const QRectF& rect) const {
        return SelectionOutcome::of(capture::SelectionPick::area(display, rect));
    }

    desktop::CaptureDisplay display;
    std::shared_ptr<const capture::ScreenshotDelivery> delivery;
    std::shared_ptr<ScrollingFlow> flow;
    std::shared_ptr<FakeSession> session;
    std::optional<desktop::CaptureDisplay> sessionDisplay;
    QRectF sessionRegion;
    ScrollingFlow::SessionCompletion sessionEnded;
    int saves = 0;
};

TEST_F(ScrollingFlowTest, TheOverlayAsksForTheAreaToScrollAndTakesNoPicture) {
    select();
    ASSERT_EQ(selections.size(), 1u);
    EXPECT_EQ(selections[0].mode, capture::SelectionMode::area);
    EXPECT_EQ(selections[0].hint,
              QStringLiteral("Select the area to scroll, then scroll it slowly"));
    EXPECT_FALSE(selections[0].takesPictures) << "the capture reads the screen itself";
}

TEST_F(ScrollingFlowTest, RegionsBelowFortyPointsStartNothing) {
    for (const QRectF& rect : {QRectF(0, 0, 39, 200), QRectF(0, 0, 200, 39)}) {
        select();
        endSelection(area(rect));
        EXPECT_FALSE(session) << rect.width() << "x" << rect.height();
        EXPECT_FALSE(coordinator->isBusy());
        EXPECT_TRUE(alerts.empty());
    }
}

TEST_F(ScrollingFlowTest, ARegionStartsASessionThatKeepsTheCoordinatorBusy) {
    select();
    endSelection(area(QRectF(5, 6, 40, 40)));
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
    EXPECT_EQ(selections.size(), 1u);

    escape.press();
    EXPECT_EQ(session->log.back(), "cancel");
}

TEST_F(ScrollingFlowTest, TheScrollingActionAgainFinishesTheSessionOnce) {
    select();
    endSelection(area(QRectF(0, 0, 400, 300)));
    clock.advance(0ms);
    coordinator->perform(app::CaptureAction::scrolling, false);
    coordinator->perform(app::CaptureAction::scrolling, false);
    clock.advance(0ms);
    EXPECT_EQ(std::count(session->log.begin(), session->log.end(), "finish"), 1);
    EXPECT_EQ(selections.size(), 1u);
}

TEST_F(ScrollingFlowTest, TheSessionsPictureIsDeliveredLikeAScreenshot) {
    select();
    endSelection(area(QRectF(0, 0, 400, 300)));
    clock.advance(0ms);
    app::Capture capture;
    capture.image = QImage(800, 4000, QImage::Format_RGB32);
    capture.scale = 2;
    sessionEnded(capture);
    EXPECT_EQ(coordinator->scrolling(), nullptr);
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(saves, 1);
}

TEST_F(ScrollingFlowTest, NothingBackDeliversNothing) {
    select();
    endSelection(area(QRectF(0, 0, 400, 300)));
    sessionEnded(std::nullopt);
    EXPECT_EQ(coordinator->scrolling(), nullptr);
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(saves, 0);
}

TEST_F(ScrollingFlowTest, AFailedSelectionAlertsAndACancelledOneIsQuiet) {
    select();
    endSelection(SelectionOutcome::cancelled());
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_TRUE(alerts.empty());
    select();
    endSelection(SelectionOutcome::failed(desktop::CaptureError::noDisplays));
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(details(), std::vector<QString>{"No display could be captured."});
    EXPECT_FALSE(session);
}

TEST_F(ScrollingFlowTest, OtherPurposesAreNotItsOwn) {
    captureTimer = 0;
    perform(app::CaptureAction::text);
    EXPECT_TRUE(selections.empty());
    EXPECT_FALSE(coordinator->isBusy());
    EXPECT_EQ(details(), std::vector<QString>{capture::UnavailableFlow::failure().description})
        << "not built here, and says so";
}

// The tall picture and a screenshot go through the one delivery both flows
// were given: the same settings, the same save folder.
TEST_F(ScrollingFlowTest, AScreenshotAndAScrollingCaptureShareOneDelivery) {
    captureTimer = 0;
    const auto screenshot = std::make_shared<capture::ScreenshotFlow>(delivery);
    EXPECT_EQ(screenshot->delivery(), flow->delivery());
    capture::CaptureFlows flows;
    flows.screenshot = screenshot;
    flows.scrolling = flow;
    makeCoordinator(flows);

    perform(app::CaptureAction::area);
    endSelection(SelectionOutcome::of(
        capture::SelectionPick::area(display, QRectF(0, 0, 50, 50)),
        capture::SelectionPicture{QImage(100, 100, QImage::Format_RGB32), 2, false}));
    EXPECT_EQ(saves, 1);

    select();
    endSelection(area(QRectF(0, 0, 400, 300)));
    app::Capture capture;
    capture.image = QImage(800, 4000, QImage::Format_RGB32);
    capture.scale = 2;
    sessionEnded(capture);
    EXPECT_EQ(saves, 2);
    EXPECT_TRUE(alerts.empty());
}

} // namespace
