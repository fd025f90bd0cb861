#pragma once

#include "desktop/CaptureDisplay.h"
#include "desktop/CaptureError.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSet>

#include <cstdint>
#include <functional>
#include <variant>
#include <vector>

class QScreen;

namespace capture {

// A picture of one window by itself.
struct WindowPicture {
    QImage image;
    double scale = 1.0; // pixels per point
};

// Still pictures of the screen: whole displays, an area of one display, one
// window alone, and the shadow drawn around a window picture. Pictures are
// RGB32 (ARGB32 premultiplied where a window has transparency) with the
// display's scale as device pixel ratio. Main thread only.
//
// Own-window rule: no window of ours shows in a picture except those in the
// keep set, i.e. our titled normal windows (WindowList::ownCapturableWindowIDs)
// and the pinned screenshots. See OwnPanelsAway for how.
namespace ScreenCapturer {

// The window numbers of the open pinned screenshots, given by the delivery
// subsystem at start-up; none until then.
void setPinnedWindowNumbers(std::function<QSet<std::uint32_t>()> source);

// Our windows that may appear in pictures: own capturable windows ∪ pins.
QSet<std::uint32_t> keepSet();

// One picture per screen, in the screens' order; a screen without a display
// identifier is skipped. `showsCursor` draws the pointer in. None at all, or
// a display the server cannot read: noDisplays.
std::variant<std::vector<desktop::DisplaySnapshot>, desktop::CaptureError>
displaySnapshots(const QList<QScreen*>& screens, bool showsCursor,
                 const QSet<std::uint32_t>& keeping);

// The part `rect` (the display's own points) of a display as it is now, in
// whole pixels. Nothing of it on the display: noDisplays.
std::variant<QImage, desktop::CaptureError> shot(const desktop::CaptureDisplay& display,
                                                 const QRectF& rect,
                                                 const QSet<std::uint32_t>& keeping);

// A window alone, with its frame, at the scale of the display that holds its
// centre. Read from its own pixmap when a compositing manager redirects
// windows (nothing in front of it shows); otherwise cut from the screen:
// from `frozen` (pictures of the displays taken before our overlay appeared)
// when one of them holds the whole window, else from the screen now with our
// panels away. A window that is gone, unmapped or minimised: windowNotFound.
std::variant<WindowPicture, desktop::CaptureError>
windowImage(std::uint32_t id, const std::vector<desktop::DisplaySnapshot>& frozen = {});

// The window picture with its drawn shadow (see WindowShadow).
QImage addWindowShadow(const QImage& image, double scale);

} // namespace ScreenCapturer

} // namespace capture
