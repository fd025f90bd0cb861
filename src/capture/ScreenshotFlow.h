#pragma once

#include "capture/CaptureFlow.h"
#include "capture/ScreenshotDelivery.h"
#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureError.h"

#include <QDateTime>
#include <QImage>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace capture {

// The screenshot behind the coordinator's gates: the shot of the display
// under the pointer, and the picture a screenshot selection hands back, with
// its drawn shadow for a window alone; both go to the shared delivery.
// Main thread only.
class ScreenshotFlow final : public CaptureFlow, public FullScreenFlow {
public:
    struct Services {
        // A picture of the whole display under the pointer, with the pointer
        // drawn in when the settings say so.
        std::function<std::variant<SelectionPicture, desktop::CaptureError>()>
            shootDisplayUnderPointer;
        // Whether a window picked alone gets its drawn shadow.
        std::function<bool()> windowShadow;
        std::function<QImage(const QImage& image, double scale)> addWindowShadow;
        std::function<QDateTime()> now;
    };

    // The real screen, settings and shadow.
    static Services defaultServices();

    // `delivery` is the one every finished picture goes through.
    explicit ScreenshotFlow(std::shared_ptr<const ScreenshotDelivery> delivery,
                            Services services = defaultServices());

    std::optional<CaptureFailure> captureFullScreen(CaptureCoordinator& coordinator) override;
    // The screenshot of an area, a window or a display.
    void selectionEnded(CaptureCoordinator& coordinator, const SelectionOutcome& outcome) override;

    const std::shared_ptr<const ScreenshotDelivery>& delivery() const { return delivery_; }

private:
    void deliver(CaptureCoordinator& coordinator, const SelectionPicture& picture);

    std::shared_ptr<const ScreenshotDelivery> delivery_;
    Services services_;
};

} // namespace capture
