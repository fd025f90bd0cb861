#pragma once

#include "platform/MediaSamples.h"
#include "platform/StreamWindows.h"

#include <QColor>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <variant>

namespace platform {

// A stream of screen pictures at a steady rate: every 1/fps on the host
// clock, on the thread of the object it is started on, it grabs one area of
// the root window (XShm), puts back what lies beneath left-out windows (or
// shows one window alone), draws the pointer and hands over the picture at
// the output size, stamped with the instant of its tick. A grab that fails
// gives no picture for that tick; a tick that comes too late is taken at
// once and the ticks it ran past are skipped. While the queue its frames go
// to fills up, ticks are left out evenly before it (TickThinning).
class FrameSource {
public:
    // What a window recording's picture stands on, around the window.
    static QColor windowBackground() { return QColor(31, 31, 34); }

    struct Settings {
        QRect region; // root pixels
        QSize outputSize;
        int fps = 30;
        bool showCursor = true;
        // Display and area recordings leave windows out; window recordings
        // show only some.
        std::variant<WindowsLeftOut, WindowsShown> windows;
    };
    // On the source's thread.
    using Deliver = std::function<void(const VideoFrame& frame)>;
    // On the source's thread, once, when the X connection is lost; no frame
    // follows.
    using Failure = std::function<void(const QString& message)>;
    // On the source's thread, before each tick: how full the queue the
    // frames go to is, from 0 (empty) to 1 (full, a frame would be lost).
    using Fullness = std::function<double()>;

    // Starts ticking on the thread `thread` lives on and waits until its
    // connections are open. Never on that thread. The message tells why no
    // source could be started.
    static std::variant<std::unique_ptr<FrameSource>, QString>
    start(QObject* thread, const Settings& settings, Deliver deliver, Failure failure,
          Fullness fullness = {});
    // Stops as stop() does.
    ~FrameSource();
    FrameSource(const FrameSource&) = delete;
    FrameSource& operator=(const FrameSource&) = delete;

    // Waits for the tick under way: no frame is handed over after it
    // returns. Never on the source's thread.
    void stop();
    // Later ticks read `region` (root pixels); the output size stays.
    void setRegion(const QRect& region);
    void setWindows(const std::variant<WindowsLeftOut, WindowsShown>& windows);
    // Whether windows are left out or composed at all (Composite and
    // XRender on the server).
    bool canCompose() const { return canCompose_; }

private:
    FrameSource() = default;
    class Ticker;
    Ticker* ticker_ = nullptr;
    bool canCompose_ = false;
};

} // namespace platform
