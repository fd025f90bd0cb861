#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace platform {

// Reads pixels from the X server: the root window (what the screen shows) and
// a redirected window's own pixmap. Main thread only; one shared instance.
//
// Reads go through MIT-SHM into a shared segment that is kept and reused
// (grown when a larger read comes) until segmentLifetime passes without a
// read. A picture of the root stays in its segment (LentSegment), so a grab
// costs one request and no copy; other reads cost one copy out of the
// segment. Without MIT-SHM (a remote server, or no extension) the pixels come
// in the reply of a plain GetImage.
class ScreenGrabber {
public:
    static constexpr std::chrono::milliseconds segmentLifetime{2000};

    // Null without an X server.
    static ScreenGrabber* shared();
    ~ScreenGrabber();
    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // The root window's size in pixels.
    QSize rootSize() const;

    // The pixels of the root window inside `rect` (clipped to the root) as
    // RGB32; null when nothing of it is on the root or the server refuses.
    QImage grabRoot(const QRect& rect);

    // Whether a compositing manager runs (owns _NET_WM_CM_S<screen>): then
    // every top-level window is redirected and its pixmap holds all of it,
    // even the parts other windows cover.
    bool compositorRunning();

    // The pixels of `rect` (root-window pixels) of a redirected top-level
    // window's own pixmap, clipped to the window: ARGB32 premultiplied for a
    // window with an alpha channel, else RGB32. Nothing when the window is not
    // redirected, gone or the server refuses.
    std::optional<QImage> grabRedirectedWindow(std::uint32_t topLevel, const QRect& rect);

    // The pointer's picture (ARGB32 premultiplied) and where its top-left
    // corner is on the root, from XFixes; nothing without XFixes.
    struct Cursor {
        QImage image;
        QPoint topLeft;
    };
    std::optional<Cursor> cursor();

    // For tests and the benchmark: turn MIT-SHM off to use the GetImage path.
    void setSharedMemoryEnabled(bool enabled);
    bool sharedMemoryEnabled() const;
    // The size of the segment held now; 0 when none is.
    std::size_t segmentBytes() const;

private:
    ScreenGrabber();
    struct State;
    std::unique_ptr<State> d;
};

} // namespace platform
