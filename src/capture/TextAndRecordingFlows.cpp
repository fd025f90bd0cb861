#include "capture/TextAndRecordingFlows.h"

#include "app/HotKeyCenter.h"
#include "app/Preferences.h"
#include "capture/CoordinatorTrace.h"
#include "capture/ScreenCapturer.h"
#include "capture/UnbuiltCaptureFlows.h"
#include "capture/selection/SelectionOpening.h"
#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace capture {

namespace {

using Purpose = CaptureCoordinator::Purpose;

std::variant<TextAndRecordingFlows::SelectionHandle, desktop::CaptureError>
openSelection(SelectionMode mode, Purpose purpose,
              TextAndRecordingFlows::SelectionCompletion completion) {
    return openCaptureSelection(mode, TextAndRecordingFlows::takesPictures(purpose),
                                TextAndRecordingFlows::selectionHint(purpose),
                                std::move(completion));
}

} // namespace

TextAndRecordingFlows::Services TextAndRecordingFlows::defaultServices() {
    Services services;
    services.openSelection = &openSelection;
    services.text = TextCaptureFlow::defaultServices();
    services.recording = RecordingFlow::defaultServices();
    services.others = std::make_shared<UnbuiltCaptureFlows>();
    return services;
}

TextAndRecordingFlows::TextAndRecordingFlows(Services services)
    : services_(std::move(services)), text_(services_.text), recording_(services_.recording) {}

TextAndRecordingFlows::~TextAndRecordingFlows() = default;

QString TextAndRecordingFlows::selectionHint(Purpose purpose) {
    switch (purpose) {
    case Purpose::text:
        //: Instruction at the top of the screen while the user selects text to recognise
        return QCoreApplication::translate("CaptureCoordinator", "Select the text to copy");
    case Purpose::recording:
        //: Instruction at the top of the screen while the user selects what to record
        return QCoreApplication::translate("CaptureCoordinator",
                                           "Select the area to record. Space switches to "
                                           "windows; click the desktop for the whole screen.");
    case Purpose::screenshot:
    case Purpose::scrolling:
        break;
    }
    return QString();
}

bool TextAndRecordingFlows::takesPictures(Purpose purpose) {
    return purpose == Purpose::screenshot || purpose == Purpose::text;
}

std::optional<CaptureFailure>
TextAndRecordingFlows::captureFullScreen(CaptureCoordinator& coordinator) {
    if (services_.others) {
        return services_.others->captureFullScreen(coordinator);
    }
    return UnbuiltCaptureFlows::unavailable();
}

std::optional<CaptureFailure> TextAndRecordingFlows::select(CaptureCoordinator& coordinator,
                                                            CaptureCoordinator::SelectionMode mode,
                                                            Purpose purpose) {
    if (purpose != Purpose::text && purpose != Purpose::recording) {
        if (services_.others) {
            return services_.others->select(coordinator, mode, purpose);
        }
        return UnbuiltCaptureFlows::unavailable();
    }
    // Said before the user picks anything, not after.
    if (purpose == Purpose::recording && !recording_.isAvailable()) {
        return RecordingFlow::unavailable();
    }
    const SelectionMode selectionMode = mode == CaptureCoordinator::SelectionMode::window
                                            ? SelectionMode::window
                                            : SelectionMode::area;
    const auto error = selection_.open(
        [this, selectionMode, purpose](HeldSelection::Completion completion) {
            return services_.openSelection(selectionMode, purpose, std::move(completion));
        },
        coordinator,
        [this, purpose](CaptureCoordinator& owner, const SelectionOutcome& outcome) {
            selectionEnded(owner, purpose, outcome);
        });
    if (error) {
        return CaptureFailure{desktop::errorDescription(*error), false};
    }
    return std::nullopt;
}

void TextAndRecordingFlows::selectionEnded(CaptureCoordinator& coordinator, Purpose purpose,
                                           const SelectionOutcome& outcome) {
    if (purpose == Purpose::text) {
        text_.recognizeText(coordinator, outcome);
    } else {
        recording_.startRecording(coordinator, outcome);
    }
}

} // namespace capture
