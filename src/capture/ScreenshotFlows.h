#pragma once

#include "capture/CaptureCoordinator.h"
#include "capture/ScreenshotDelivery.h"
#include "capture/selection/SelectionOpening.h"
#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureError.h"

#include <QDateTime>
#include <QImage>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace capture {

// The screenshot actions behind the coordinator's gates: the shot of the
// display under the pointer, the selection overlay for an area or a window,
// the picture an outcome carries, and its delivery. Selections for the other
// purposes (scrolling, text, recording) go to `others`. Main thread only.
class ScreenshotFlows final : public CaptureCoordinator::Flows {
public:
    using SelectionCompletion = std::function<void(const SelectionOutcome& outcome)>;
    // Keeps an open selection overlay alive; dropping it takes the overlay down.
    using SelectionHandle = std::unique_ptr<QObject>;

    struct Services {
        // A picture of the whole display under the pointer, with the pointer
        // drawn in when the settings say so.
        std::function<std::variant<SelectionPicture, desktop::CaptureError>()>
            shootDisplayUnderPointer;
        // Opens the selection overlay for a screenshot in `mode` on every
        // display; `completion` later receives its one outcome.
        std::function<std::variant<SelectionHandle, desktop::CaptureError>(
            SelectionMode mode, SelectionCompletion completion)>
            openSelection;
        // Whether a window picked alone gets its drawn shadow.
        std::function<bool()> windowShadow;
        std::function<QImage(const QImage& image, double scale)> addWindowShadow;
        std::function<QDateTime()> now;
        ScreenshotDelivery::Services delivery;
        // The flows of the other purposes.
        std::shared_ptr<CaptureCoordinator::Flows> others;
    };

    // The real screen, overlay, settings and image output; the other
    // purposes go to ScrollingFlows (and from there on).
    static Services defaultServices();

    explicit ScreenshotFlows(Services services);
    ~ScreenshotFlows() override;

    std::optional<CaptureFailure> captureFullScreen(CaptureCoordinator& coordinator) override;
    std::optional<CaptureFailure> select(CaptureCoordinator& coordinator,
                                         CaptureCoordinator::SelectionMode mode,
                                         CaptureCoordinator::Purpose purpose) override;

    // Whether a selection overlay is open.
    bool isSelecting() const { return selection_.isOpen(); }

    static CaptureFailure failureOf(desktop::CaptureError error);

private:
    void selectionEnded(CaptureCoordinator& coordinator, const SelectionOutcome& outcome);
    void takeScreenshot(CaptureCoordinator& coordinator, const SelectionOutcome& outcome);
    void deliver(CaptureCoordinator& coordinator, const SelectionPicture& picture);

    Services services_;
    ScreenshotDelivery delivery_;
    HeldSelection selection_;
};

} // namespace capture
