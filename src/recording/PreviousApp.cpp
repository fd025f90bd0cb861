#include "recording/PreviousApp.h"

#include "platform/ClientWindows.h"
#include "platform/WindowManagerRequests.h"

#include <QCoreApplication>

namespace recording {

void PreviousApp::remember() {
    window_ = platform::activeWindow();
    pid_.reset();
    if (window_) {
        if (const auto window = platform::clientWindow(*window_)) {
            pid_ = window->pid;
        }
    }
}

bool PreviousApp::restore() {
    const std::optional<std::uint32_t> window = window_;
    const std::optional<std::int32_t> pid = pid_;
    window_.reset();
    pid_.reset();
    if (!window ||
        !isReturnedTo(pid, static_cast<std::int32_t>(QCoreApplication::applicationPid()))) {
        return false;
    }
    return platform::requestWindowActivation(*window);
}

bool PreviousApp::isReturnedTo(std::optional<std::int32_t> pid, std::int32_t ownPID) {
    return !pid || *pid != ownPID;
}

} // namespace recording
