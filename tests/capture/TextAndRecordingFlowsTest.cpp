#include "capture/TextAndRecordingFlows.h"

#include "support/FakeEscapeKey.h"
#include "support/ManualScheduler.h"

#include <QCoreApplication>
#include <QPromise>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using capture::CaptureCoordinator;
using capture::CaptureFailure;
using capture::SelectionOutcome;
using capture::SelectionPick;
using capture::TextAndRecordingFlows;
using Purpose = CaptureCoordinator::Purpose;
using Mode = CaptureCoordinator::SelectionMode;
using namespace std::chrono_literals;

namespace {

class OtherFlows : public CaptureCoordinator::Flows {
public:
    std::optional<CaptureFailure> captureFullScreen(CaptureCoordinator&) override {
        calls.push_back("full-screen");
        return std::nullopt;
    }
    std::optional<CaptureFailure> select(CaptureCoordinator&, Mode, Purpose purpose) override {
        calls.push_back(purpose == Purpose::scrolling ? "scrolling" : "screenshot");
        return std::nullopt;
    }
    std::vector<std::string> calls;
};

class PlainSession : public capture::RecordingFlow::Session {
public:
    Phase phase() const override { return Phase::setup; }
    void start() override {}
    void stop() override {}
    void present() override { ++presents; }
    int presents = 0;
};

class TextAndRecordingFlowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        CaptureCoordinator::Services services;
        services.captureTimer = [] { return 0; };
        services.preflightScreenCapture = [] { return true; };
        services.alert = [](const QString&, const QString&) {};
        services.flows = std::make_shared<OtherFlows>();
        services.scheduler = &clock;
        services.escapeKey = &escape;
        coordinator = std::make_unique<CaptureCoordinator>(services);
    }
    void TearDown() override {
        flows.reset();
        coordinator.reset();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    void make(bool canRecord = true) {
        TextAndRecordingFlows::Services services;
        services.openSelection = [this](capture::SelectionMode mode, Purpose purpose,
                                        TextAndRecordingFlows::SelectionCompletion completion)
            -> std::variant<TextAndRecordingFlows::SelectionHandle, desktop::CaptureError> {
            opened.emplace_back(mode, purpose);
            if (openError) {
                return *openError;
            }
            this->completion = std::move(completion);
            auto handle = std::make_unique<QObject>();
            overlay = handle.get();
            return handle;
        };
        services.text.recognize = [this](const QImage&, bool) {
            ++recognitions;
            QPromise<capture::TextRecognizer::Result> promise;
            promise.start();
            promise.addResult(capture::TextRecognizer::Recognized{});
            promise.finish();
            return promise.future();
        };
        services.text.scheduler = &clock;
        if (canRecord) {
            services.recording.makeSession = [this](const capture::RecordingFlow::Request&,
                                                    capture::RecordingFlow::Completion,
                                                    capture::RecordingFlow::Progress) {
                session = std::make_shared<PlainSession>();
                return session;
            };
        }
        services.others = others;
        flows = std::make_unique<TextAndRecordingFlows>(services);
    }

    testsupport::ManualScheduler clock;
    testsupport::FakeEscapeKey escape;
    std::unique_ptr<CaptureCoordinator> coordinator;
    std::shared_ptr<OtherFlows> others = std::make_shared<OtherFlows>();
    std::unique_ptr<TextAndRecordingFlows> flows;
    std::vector<std::pair<capture::SelectionMode, Purpose>> opened;
    std::optional<desktop::CaptureError> openError;
    TextAndRecordingFlows::SelectionCompletion completion;
    QPointer<QObject> overlay;
    int recognitions = 0;
    std::shared_ptr<PlainSession> session;
};

TEST_F(TextAndRecordingFlowsTest, TextAndRecordingOpenTheirOwnSelectionAndTheRestGoesOn) {
    make();
    EXPECT_EQ(flows->select(*coordinator, Mode::area, Purpose::scrolling), std::nullopt);
    EXPECT_EQ(flows->select(*coordinator, Mode::window, Purpose::screenshot), std::nullopt);
    EXPECT_EQ(flows->captureFullScreen(*coordinator), std::nullopt);
    EXPECT_EQ(others->calls, (std::vector<std::string>{"scrolling", "screenshot", "full-screen"}));
    EXPECT_TRUE(opened.empty());

    EXPECT_EQ(flows->select(*coordinator, Mode::area, Purpose::text), std::nullopt);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, capture::SelectionMode::area);
    EXPECT_EQ(opened[0].second, Purpose::text);
    EXPECT_TRUE(flows->isSelecting());
}

TEST_F(TextAndRecordingFlowsTest, TheOutcomeGoesToTheFlowOfItsPurposeAndTheOverlayGoes) {
    make();
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const desktop::CaptureDisplay display{nullptr, 1, 1.0, QRectF(0, 0, 800, 600)};

    ASSERT_EQ(flows->select(*coordinator, Mode::area, Purpose::text), std::nullopt);
    completion(SelectionOutcome::of(SelectionPick::area(display, QRectF(0, 0, 40, 20)),
                                    capture::SelectionPicture{picture, 1.0, false}));
    EXPECT_EQ(recognitions, 1);
    EXPECT_FALSE(flows->isSelecting());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(overlay.isNull());

    ASSERT_EQ(flows->select(*coordinator, Mode::area, Purpose::recording), std::nullopt);
    completion(SelectionOutcome::of(SelectionPick::ofDisplay(display)));
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->presents, 1);
    EXPECT_EQ(coordinator->recording(), session.get());
}

TEST_F(TextAndRecordingFlowsTest, RecordingWithoutASessionFailsBeforeAnyOverlay) {
    make(false);
    const auto failure = flows->select(*coordinator, Mode::area, Purpose::recording);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->description, capture::RecordingFlow::unavailable().description);
    EXPECT_TRUE(opened.empty());
}

TEST_F(TextAndRecordingFlowsTest, AnOverlayThatCannotOpenIsAFailure) {
    make();
    openError = desktop::CaptureError::noDisplays;
    const auto failure = flows->select(*coordinator, Mode::area, Purpose::text);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->description, desktop::errorDescription(desktop::CaptureError::noDisplays));
    EXPECT_FALSE(flows->isSelecting());
}

TEST_F(TextAndRecordingFlowsTest, AnOutcomeAfterTheFlowsAreGoneIsDropped) {
    make();
    ASSERT_EQ(flows->select(*coordinator, Mode::area, Purpose::recording), std::nullopt);
    const auto late = completion;
    flows.reset();
    late(SelectionOutcome::of(SelectionPick::ofDisplay({nullptr, 1, 1.0, QRectF(0, 0, 800, 600)})));
    EXPECT_EQ(session, nullptr);
}

TEST(TextAndRecordingFlowsPurposes, TextTakesAPictureAndRecordingDoesNot) {
    EXPECT_TRUE(TextAndRecordingFlows::takesPictures(Purpose::text));
    EXPECT_FALSE(TextAndRecordingFlows::takesPictures(Purpose::recording));
    EXPECT_EQ(TextAndRecordingFlows::selectionHint(Purpose::text), "Select the text to copy");
    EXPECT_EQ(TextAndRecordingFlows::selectionHint(Purpose::recording),
              "Select the area to record. Space switches to windows; click the desktop for the "
              "whole screen.");
}

} // namespace
