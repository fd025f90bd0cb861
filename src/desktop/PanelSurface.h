#pragma once

#include "desktop/WindowFade.h"

#include <QObject>
#include <QPainterPath>
#include <QRegion>

#include <chrono>
#include <functional>

class QWidget;

namespace desktop {

// Whether a translucent window of ours blends with what lies below it: on X11
// only while a compositing manager runs; on other Qt platforms (the offscreen
// one of the tests) always. Asked afresh on each call.
bool windowsBlend();

// The device pixels that `outline` (in points) covers at `scale` pixels per
// point: every pixel whose centre lies inside it.
QRegion outlineRegion(const QPainterPath& outline, qreal scale);

// How one of our floating panels with a shaped outline (rounded corners, a
// capsule, a frame) reaches the screen. Where windows blend, the panel is
// translucent: soft edges, a shadow, fades. Where they do not, the X server
// would show every transparent pixel black, so the panel is cut to its
// outline by a shape mask in device pixels instead, must paint all of it
// opaque, and appears and goes without fading.
//
// Made once per panel, before the panel is shown, as the panel's child; it
// keeps the mask in step with the panel's size, screen and native window.
class PanelSurface final : public QObject {
    Q_OBJECT
public:
    enum class Kind { translucent, masked };
    // The kind a panel made now gets: translucent when windows blend.
    static Kind kindNow();

    // `outline` gives the panel's visible shape in its own points; it is asked
    // again each time the mask is redone.
    PanelSurface(QWidget* panel, std::function<QPainterPath()> outline, Kind kind = kindNow());

    Kind kind() const { return kind_; }
    bool isTranslucent() const { return kind_ == Kind::translucent; }

    // Redoes the mask now, for an outline that changed while the size stayed.
    void reshape();
    // The mask last set, in device pixels; empty while translucent or before
    // the first shaping.
    const QRegion& deviceMask() const { return deviceMask_; }

    // Before the panel is first shown: a translucent panel that will fade in
    // starts invisible.
    void prepareFadeIn();
    // Fades a translucent panel's opacity to `to` with `fader`; a masked
    // panel (or one without a fader) skips the fade and `done` runs at once.
    void fade(double to, std::chrono::milliseconds duration, std::function<void()> done,
              const WindowFader& fader = fadeWindow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* panel_;
    std::function<QPainterPath()> outline_;
    Kind kind_;
    QRegion deviceMask_;
};

} // namespace desktop
