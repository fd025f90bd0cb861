// The capture flows as the composition root wires them.
#include "shell/AppDelegate.h"

#include "capture/RecordingFlow.h"
#include "capture/ScreenshotFlow.h"
#include "capture/ScrollingFlow.h"
#include "capture/TextCaptureFlow.h"

#include "support/CoordinatorFixture.h"

#include <gtest/gtest.h>

namespace {

using app::CaptureAction;
using capture::CaptureCoordinator;
using Purpose = capture::CapturePurpose;

class CaptureFlowsTest : public testsupport::CoordinatorFixture {};

TEST_F(CaptureFlowsTest, EveryPurposeHasItsFlowAndPicturesShareOneDelivery) {
    const capture::CaptureFlows flows = shell::AppDelegate::captureFlows();
    const auto screenshot = std::dynamic_pointer_cast<capture::ScreenshotFlow>(flows.screenshot);
    const auto scrolling = std::dynamic_pointer_cast<capture::ScrollingFlow>(flows.scrolling);
    ASSERT_NE(screenshot, nullptr);
    ASSERT_NE(scrolling, nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<capture::ScreenshotFlow>(flows.fullScreen), screenshot);
    EXPECT_NE(std::dynamic_pointer_cast<capture::TextCaptureFlow>(flows.text), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<capture::RecordingFlow>(flows.recording), nullptr);

    // One delivery, so the tall picture reaches the editor or a card exactly
    // as a screenshot does.
    ASSERT_NE(screenshot->delivery(), nullptr);
    EXPECT_EQ(screenshot->delivery(), scrolling->delivery());
    EXPECT_TRUE(screenshot->delivery()->services().openEditor);
    EXPECT_TRUE(screenshot->delivery()->services().showQuickAccess);
}

// The program's flows without an X server to read: every screenshot action,
// the scrolling capture, text capture and recording end with the capture
// error before anything opens.
TEST_F(CaptureFlowsTest, WithoutAScreenEveryActionFailsCleanly) {
    CaptureCoordinator::Services real = services();
    real.openSelection = CaptureCoordinator::defaultServices().openSelection;
    coordinator =
        std::make_unique<CaptureCoordinator>(shell::AppDelegate::captureFlows(), std::move(real));
    for (CaptureAction action : app::captureActions::allCases()) {
        const std::string name = app::rawValue(action).toStdString();
        alerts.clear();
        perform(action);
        EXPECT_FALSE(coordinator->isBusy()) << name;
        const QString expected = desktop::errorDescription(desktop::CaptureError::noDisplays);
        EXPECT_EQ(details(), std::vector<QString>{expected}) << name;
    }
}

} // namespace
