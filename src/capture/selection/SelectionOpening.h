#pragma once

#include "capture/CaptureCoordinator.h"
#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureError.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace capture {

// Opens the selection overlay for a capture flow over pictures of the displays
// taken just before it covers them: the overlay shows these pictures, areas
// are cut from them, and a window picked alone is read against them. The
// magnifier and crosshair follow the settings. The session lives as long as
// the handle.
std::variant<std::unique_ptr<QObject>, desktop::CaptureError>
openCaptureSelection(SelectionMode mode, bool takesPictures, const QString& hint,
                     std::function<void(const SelectionOutcome&)> completion);

// The one selection a flow has open. Its outcome is handed on from the event
// loop after the overlay is let go, and never once the holder or the
// coordinator is gone; a holder that goes away takes its overlay with it.
class HeldSelection {
public:
    using Completion = std::function<void(const SelectionOutcome&)>;
    using Opener = std::function<std::variant<std::unique_ptr<QObject>, desktop::CaptureError>(
        Completion completion)>;
    using Then = std::function<void(CaptureCoordinator&, const SelectionOutcome&)>;

    HeldSelection() = default;
    HeldSelection(const HeldSelection&) = delete;
    HeldSelection& operator=(const HeldSelection&) = delete;
    ~HeldSelection();

    // Opens a selection with `open`; `then` receives its outcome. Gives the
    // error of a selection that could not be opened.
    std::optional<desktop::CaptureError> open(const Opener& open, CaptureCoordinator& coordinator,
                                              Then then);
    bool isOpen() const { return handle_ != nullptr; }

private:
    void letGo();

    std::unique_ptr<QObject> handle_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace capture
