#pragma once

#include "platform/StreamWindows.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <memory>
#include <optional>

namespace platform {

// Paints pictures of the screen with some windows left out, or of some
// windows alone, from the pictures the X server keeps of each window under
// Composite (redirected automatically, so nothing changes on screen), drawn
// with XRender. Has a connection of its own; used only on the thread that
// opened it. Without Composite and XRender on the server it leaves nothing
// out and composes nothing (canCompose() is false).
class WindowComposer {
public:
    // Null when no X server can be reached.
    static std::unique_ptr<WindowComposer> open();
    ~WindowComposer();
    WindowComposer(const WindowComposer&) = delete;
    WindowComposer& operator=(const WindowComposer&) = delete;

    bool canCompose() const;
    bool isBroken() const;

    // `frame` holds the pixels of `region` (root pixels, same size): where a
    // window that `leftOut` names lies, paints over it what is beneath it,
    // the windows below and the desktop's background.
    void leaveOut(QImage& frame, const QRect& region, const WindowsLeftOut& leftOut);

    // `region` showing only the windows `shown` names, in their stacking
    // order, over `background`; null when the recorded window is no longer on
    // the screen or nothing can be composed.
    QImage composeShown(const QRect& region, const WindowsShown& shown, const QColor& background);

    // The pointer's picture (premultiplied ARGB) and where its top-left corner
    // lies on the root; nothing when the server does not say.
    struct Pointer {
        QImage image;
        QPoint topLeft;
    };
    std::optional<Pointer> pointer();

private:
    WindowComposer();
    struct State;
    std::unique_ptr<State> d;
};

} // namespace platform
