#pragma once

#include <QObject>
#include <QRectF>

#include <cstdint>
#include <functional>
#include <optional>

class QTimer;

namespace recording {

// Follows one window while it is recorded alone: polls where it is ten times
// a second and reports a move or resize, and once that it is gone, so that
// the frame around it and the recorded region follow it and the recording
// ends with it. Main thread only.
class WindowFollower : public QObject {
    Q_OBJECT

public:
    // Where a window is now in global points; nothing when it is gone.
    using BoundsSource = std::function<std::optional<QRectF>(std::uint32_t windowID)>;

    // Follows through the window list (desktop::WindowList::bounds).
    explicit WindowFollower(std::uint32_t windowID, QObject* parent = nullptr);
    WindowFollower(std::uint32_t windowID, BoundsSource bounds, QObject* parent = nullptr);
    ~WindowFollower() override;

    // The window's new bounds: at the first poll, then on every change by
    // exact comparison (a fraction of a point counts).
    std::function<void(const QRectF& bounds)> onMove;
    // Once, when the window is gone; following has stopped by then. The owner
    // may delete the follower inside either callback.
    std::function<void()> onClose;

    std::uint32_t windowID() const { return windowID_; }
    bool isFollowing() const { return timer_ != nullptr; }
    // The bounds last reported; nothing before the first report.
    std::optional<QRectF> lastFrame() const { return lastFrame_; }

    // Polls at once, then every 0.1 s; nothing when already following.
    void start();
    // One poll.
    void tick();
    // Stops polling; start() begins again.
    void stop();

private:
    std::uint32_t windowID_;
    BoundsSource bounds_;
    QTimer* timer_ = nullptr;
    std::optional<QRectF> lastFrame_;
};

} // namespace recording
