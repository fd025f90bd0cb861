#pragma once

#include "capture/CaptureCoordinator.h"
#include "capture/RecordingFlow.h"
#include "capture/TextCaptureFlow.h"
#include "capture/selection/SelectionOpening.h"
#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureError.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace capture {

// The text and record actions behind the coordinator's gates: each opens the
// selection overlay with its own hint and hands the outcome to its flow.
// Everything else goes to `others`. Main thread only.
class TextAndRecordingFlows final : public CaptureCoordinator::Flows {
public:
    using SelectionCompletion = std::function<void(const SelectionOutcome& outcome)>;
    // Keeps an open selection overlay alive; dropping it takes the overlay down.
    using SelectionHandle = std::unique_ptr<QObject>;

    struct Services {
        // Opens the selection overlay on every display for the purpose, in
        // `mode`; `completion` later receives its one outcome.
        std::function<std::variant<SelectionHandle, desktop::CaptureError>(
            SelectionMode mode, CaptureCoordinator::Purpose purpose,
            SelectionCompletion completion)>
            openSelection;
        TextCaptureFlow::Services text;
        RecordingFlow::Services recording;
        // The flows of the other actions.
        std::shared_ptr<CaptureCoordinator::Flows> others;
    };

    // The real overlay, recognition and settings; no recording session (the
    // application shell sets it); the other actions are not built here.
    static Services defaultServices();

    explicit TextAndRecordingFlows(Services services);
    ~TextAndRecordingFlows() override;

    std::optional<CaptureFailure> captureFullScreen(CaptureCoordinator& coordinator) override;
    std::optional<CaptureFailure> select(CaptureCoordinator& coordinator,
                                         CaptureCoordinator::SelectionMode mode,
                                         CaptureCoordinator::Purpose purpose) override;

    // The instruction the overlay shows for a purpose of this class.
    static QString selectionHint(CaptureCoordinator::Purpose purpose);
    // Whether the overlay takes a picture of what is picked.
    static bool takesPictures(CaptureCoordinator::Purpose purpose);

    bool isSelecting() const { return selection_.isOpen(); }
    TextCaptureFlow& textFlow() { return text_; }
    RecordingFlow& recordingFlow() { return recording_; }

private:
    void selectionEnded(CaptureCoordinator& coordinator, CaptureCoordinator::Purpose purpose,
                        const SelectionOutcome& outcome);

    Services services_;
    TextCaptureFlow text_;
    RecordingFlow recording_;
    HeldSelection selection_;
};

} // namespace capture
