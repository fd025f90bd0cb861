#pragma once

#include "overlays/KeystrokeFormatter.h"

#include <QPointF>

#include <functional>
#include <memory>

namespace platform {
class InputRecorder;
struct RecordedInput;
} // namespace platform

namespace overlays {

// Watches every client's keys and mouse buttons during a recording without
// swallowing or changing any of them, and hands them on as the overlay wants
// them: key presses (a modifier's own press or release comes as a press with
// the modifier's code, its flags and no name or text; other releases give
// nothing; an autorepeat is one more press), and clicks in global points.
// Main thread only.
class KeystrokeMonitor {
public:
    struct Handlers {
        std::function<void(const KeyPress&)> onKey;
        // The button's X number (1 left, 2 middle, 3 right, 4–7 wheel, 8+ side).
        std::function<void(QPointF global, int button)> onClick;
    };

    // Nothing when the X server offers no way to listen (no RECORD): the
    // recording then shows no keystrokes and no clicks.
    static std::unique_ptr<KeystrokeMonitor> start(Handlers handlers);
    ~KeystrokeMonitor();

    // No context, connection or thread remains; nothing is delivered later.
    // Safe to call again.
    void stop();

    // Codes given to X keys the stored numbering has no code for.
    static constexpr std::uint32_t unmappedKeyBase = 0x10000;
    // The press a recorded key event gives, or nothing (a plain release).
    static std::optional<KeyPress> keyPress(const platform::RecordedInput& input);

private:
    KeystrokeMonitor() = default;
    Handlers handlers_;
    std::unique_ptr<platform::InputRecorder> recorder_;
};

// A global point, in Qt's logical coordinates, for a pixel of the X root
// window.
QPointF globalPointForRootPixel(const QPoint& pixel);

} // namespace overlays
