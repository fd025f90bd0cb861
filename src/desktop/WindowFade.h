#pragma once

#include <chrono>
#include <functional>

class QWidget;

namespace desktop {

// Animates a top-level window's opacity to `to` over `duration`, then calls
// `done`; a window destroyed before the end takes its animation and `done`
// with it. Without a compositor the opacity has no visible effect but the
// timing is the same.
using WindowFader = std::function<void(
    QWidget* window, double to, std::chrono::milliseconds duration, std::function<void()> done)>;

void fadeWindow(QWidget* window, double to, std::chrono::milliseconds duration,
                std::function<void()> done);

} // namespace desktop
