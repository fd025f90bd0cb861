#include "capture/UnbuiltCaptureFlows.h"

#include <QCoreApplication>

namespace capture {

CaptureFailure UnbuiltCaptureFlows::unavailable() {
    //: Failure alert text when a capture action reaches a capture that this build cannot take yet
    return {QCoreApplication::translate("CaptureCoordinator",
                                        "This kind of capture is not available in this version "
                                        "of Vexlin Capture yet. Nothing was captured."),
            false};
}

std::optional<CaptureFailure> UnbuiltCaptureFlows::captureFullScreen(CaptureCoordinator&) {
    return unavailable();
}

std::optional<CaptureFailure> UnbuiltCaptureFlows::select(CaptureCoordinator&,
                                                          CaptureCoordinator::SelectionMode,
                                                          CaptureCoordinator::Purpose) {
    return unavailable();
}

} // namespace capture
