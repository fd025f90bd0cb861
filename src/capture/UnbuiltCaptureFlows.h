#pragma once

#include "capture/CaptureCoordinator.h"

namespace capture {

// Stands for the screenshot, scrolling, text and recording flows until they
// exist: every step fails at once with a text that says the capture is not
// available, so the coordinator clears its busy flag and shows the failure
// alert. Nothing is captured and nothing claims to be.
class UnbuiltCaptureFlows : public CaptureCoordinator::Flows {
public:
    std::optional<CaptureFailure> captureFullScreen(CaptureCoordinator& coordinator) override;
    std::optional<CaptureFailure> select(CaptureCoordinator& coordinator,
                                         CaptureCoordinator::SelectionMode mode,
                                         CaptureCoordinator::Purpose purpose) override;

    static CaptureFailure unavailable();
};

} // namespace capture
