#pragma once

#include "desktop/PanelSurface.h"

#include <QWidget>

#include <optional>

namespace delivery {

class QuickAccessCardView;

// The window of one Quick Access card: it never takes the focus, lies above
// other windows, is left alone by the window manager (so it shows on every
// desktop and may start half off screen) and is titled "Quick Access". Its
// size is the view's: the tile and the padding for the shadow. Where windows
// blend it is translucent; otherwise it is cut to the tile. It reports the
// pointer entering and leaving the tile (not the padding).
class QuickAccessCardWindow : public QWidget {
    Q_OBJECT
public:
    // Takes the view as its only child.
    QuickAccessCardWindow(QuickAccessCardView* view, desktop::PanelSurface::Kind kind);

    QuickAccessCardView* view() const { return view_; }
    desktop::PanelSurface& surface() const { return *surface_; }
    bool pointerInside() const { return inside_; }

    // One frame of a slide: the window goes to `topLeft` (points, global)
    // without Qt's bookkeeping of a moved window, which on X11 costs several
    // round trips a frame; pos() stays where the slide began until settle().
    void slideFrame(const QPoint& topLeft);
    // Where the window stands, during a slide too.
    QPoint shownAt() const { return slidTo_.value_or(pos()); }
    // Puts the window at `topLeft` through Qt, ending any slide.
    void settle(const QPoint& topLeft);

Q_SIGNALS:
    void hoverChanged(bool inside);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(bool inside);

    QuickAccessCardView* view_;
    desktop::PanelSurface* surface_;
    bool inside_ = false;
    // Where the frames of a slide put the window, while Qt does not know.
    std::optional<QPoint> slidTo_;
};

} // namespace delivery
