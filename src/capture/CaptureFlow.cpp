#include "capture/CaptureFlow.h"

#include "capture/CaptureCoordinator.h"

#include <QCoreApplication>

namespace capture {

std::shared_ptr<UnavailableFlow> UnavailableFlow::shared() {
    static const auto flow = std::make_shared<UnavailableFlow>();
    return flow;
}

CaptureFailure UnavailableFlow::failure() {
    //: Failure alert text when a capture action reaches a capture that this build cannot take yet
    return {QCoreApplication::translate("CaptureCoordinator",
                                        "This kind of capture is not available in this version "
                                        "of Vexlin Capture yet. Nothing was captured."),
            false};
}

void UnavailableFlow::selectionEnded(CaptureCoordinator& coordinator, const SelectionOutcome&) {
    coordinator.clearBusy();
}

CaptureFlow& CaptureFlows::of(CapturePurpose purpose) const {
    switch (purpose) {
    case CapturePurpose::screenshot:
        return *screenshot;
    case CapturePurpose::scrolling:
        return *scrolling;
    case CapturePurpose::text:
        return *text;
    case CapturePurpose::recording:
        break;
    }
    return *recording;
}

} // namespace capture
