#pragma once

#include <QList>
#include <QPointer>
#include <QRectF>
#include <QSet>
#include <QWindow>

#include <cstdint>

namespace desktop {

// Keeps our own panels out of a picture of the screen while it lives.
//
// X11 cannot leave single windows out of a read of the root window, and
// without a compositing manager a covered window's pixels exist nowhere but on
// the screen. So pictures keep our panels out in two ways:
//  - the selection overlay takes its display pictures before it is mapped and
//    cuts areas, displays and (without a compositor) windows from them;
//  - any other read of the screen first hides our visible windows that are
//    not in the keep set and overlap the area, waits until the server has
//    unmapped them and the windows beneath have repainted what they uncovered
//    (platform::UncoveredRepaint), reads, and shows them again. With nothing
//    of ours in the way it costs nothing.
class OwnPanelsAway {
public:
    // `area` in global points; `keep` holds the window ids that may show.
    OwnPanelsAway(const QRectF& area, const QSet<std::uint32_t>& keep);
    ~OwnPanelsAway();
    OwnPanelsAway(const OwnPanelsAway&) = delete;
    OwnPanelsAway& operator=(const OwnPanelsAway&) = delete;

    // How many windows were hidden.
    qsizetype count() const { return hidden_.size(); }

private:
    QList<QPointer<QWindow>> hidden_;
};

} // namespace desktop
