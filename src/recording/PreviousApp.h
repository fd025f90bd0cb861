#pragma once

#include <cstdint>
#include <optional>

namespace recording {

// Gives the focus back to the application the user was in before one of our
// panels took it (the hidden-apps popover of the recording controls):
// remember() when the panel is about to take the focus, restore() when it
// closes. Main thread only.
class PreviousApp {
public:
    // Notes the window the manager says has the focus, with its process.
    void remember();
    // Asks the manager to activate the noted window, unless it was one of ours
    // or none was noted; forgets it either way. True when it asked.
    bool restore();

    std::optional<std::uint32_t> window() const { return window_; }

    // Whether a window of process `pid` (nothing: it did not say) gets the
    // focus back from process `ownPID`.
    static bool isReturnedTo(std::optional<std::int32_t> pid, std::int32_t ownPID);

private:
    std::optional<std::uint32_t> window_;
    std::optional<std::int32_t> pid_;
};

} // namespace recording
