#pragma once

#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureError.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace capture {

class CaptureCoordinator;

// Why a capture step stopped, with the text the user reads.
struct CaptureFailure {
    CaptureFailure(QString text = QString(), bool cancelled = false)
        : description(std::move(text)), isUserCancellation(cancelled) {}

    QString description;
    // The user backed out (a closed folder chooser): nothing is shown.
    bool isUserCancellation = false;

    // The picture was taken and handed on (to the clipboard, an editor, a
    // card); only its file is missing.
    struct Unsaved {
        // The folder it was meant for; empty when none could be found.
        QString folder;
        // It is on the clipboard.
        bool copied = false;
        // Lets the user pick another folder and saves it there; none when
        // another folder would not help (the picture could not be encoded).
        std::function<void()> chooseAnotherFolder;
    };
    // Set for a picture taken but not saved.
    std::shared_ptr<const Unsaved> unsaved;

    // The failure a capture error becomes.
    static CaptureFailure of(desktop::CaptureError error) {
        return {desktop::errorDescription(error), false};
    }
    // The failure a failed selection outcome carries.
    static CaptureFailure of(const SelectionOutcome& outcome) {
        return of(outcome.error.value_or(desktop::CaptureError::noDisplays));
    }
};

// What a selection overlay is opened for; each purpose has its own flow.
enum class CapturePurpose { screenshot, scrolling, text, recording };

// Where the selection of one purpose leads. The coordinator opens the overlay
// and hands the flow its one outcome; the flow clears the coordinator's busy
// flag once it has handed its result on or dropped it. Main thread only.
class CaptureFlow {
public:
    virtual ~CaptureFlow() = default;
    // Why the flow cannot run at all; asked before the overlay opens, so that
    // nobody picks an area for nothing. Nothing when it can run.
    virtual std::optional<CaptureFailure> unavailable() const { return std::nullopt; }
    // The overlay is up and the user is picking: what the flow needs next
    // can get ready meanwhile.
    virtual void selectionOpened() {}
    virtual void selectionEnded(CaptureCoordinator& coordinator,
                                const SelectionOutcome& outcome) = 0;
};

// The shot of the whole display under the pointer, without an overlay.
class FullScreenFlow {
public:
    virtual ~FullScreenFlow() = default;
    // The failure that stopped the shot, or nothing once it was handed on.
    virtual std::optional<CaptureFailure> captureFullScreen(CaptureCoordinator& coordinator) = 0;
};

// Stands for a flow this build does not have: its action fails before
// anything opens, with a text that says the capture is not available, so the
// coordinator clears its busy flag and shows the failure alert. Nothing is
// captured and nothing claims to be.
class UnavailableFlow final : public CaptureFlow, public FullScreenFlow {
public:
    static std::shared_ptr<UnavailableFlow> shared();
    static CaptureFailure failure();

    std::optional<CaptureFailure> unavailable() const override { return failure(); }
    std::optional<CaptureFailure> captureFullScreen(CaptureCoordinator&) override {
        return failure();
    }
    // No overlay opens for it; should an outcome come all the same, it only
    // frees the coordinator.
    void selectionEnded(CaptureCoordinator& coordinator, const SelectionOutcome&) override;
};

// The flow of every purpose and of the full-screen shot: handed to the
// coordinator once, by the composition root (tests hand their own). An entry
// left as it is says that its capture is not available.
struct CaptureFlows {
    std::shared_ptr<FullScreenFlow> fullScreen = UnavailableFlow::shared();
    std::shared_ptr<CaptureFlow> screenshot = UnavailableFlow::shared();
    std::shared_ptr<CaptureFlow> scrolling = UnavailableFlow::shared();
    std::shared_ptr<CaptureFlow> text = UnavailableFlow::shared();
    std::shared_ptr<CaptureFlow> recording = UnavailableFlow::shared();

    CaptureFlow& of(CapturePurpose purpose) const;
};

} // namespace capture
