#pragma once

#include "app/Capture.h"

#include <QPointer>
#include <QRectF>
#include <QWidget>

class QMenu;

namespace desktop {
class PanelSurface;
}

namespace delivery {

class PinManager;
class PinView;

// One pinned screenshot: a frameless window that stays above other windows
// on every desktop and shows only the image, with rounded corners. It comes
// up without taking the keyboard, yet takes it when clicked, so that Escape
// closes it. The window manager moves it (a drag on the image) and resizes it
// by its edges, keeping the image's proportions. Made only by PinManager.
class PinWindow : public QWidget {
    Q_OBJECT
public:
    // `frame` in global points; the manager is held weakly.
    PinWindow(const app::Capture& capture, PinManager* manager, const QRectF& frame);

    // Shows the pin in front, without activating it.
    void present();

    const app::Capture& capture() const { return capture_; }
    // The image's width over its height, in points; every zoom keeps it.
    double aspect() const { return aspect_; }
    // The opacity last chosen (1 at first). Without a compositing manager the
    // window's own opacity reads back 1, so the menu asks this.
    double opacity() const { return opacity_; }
    PinView* view() const { return view_; }
    // Whether the window blends with what lies below (a compositing manager
    // runs); without, its outline is cut by a mask and it paints opaque.
    bool isTranslucent() const;

    // The context menu, made anew for each right-click; the caller owns it.
    QMenu* makeContextMenu();

    // The pin's actions, as its menu, keys and button call them.
    void closePin();
    void copyImage();
    void saveImage();
    void editImage();
    void setOpacityPercent(int percent);
    void actualSize();
    // Resizes about the centre to factor × the width (kept within
    // 60…4000 points) and the height that keeps the proportions.
    void zoomBy(double factor);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setFrame(const QRectF& frame);
    void sendResizeHints();
    QPainterPath outline() const;

    app::Capture capture_;
    QPointer<PinManager> manager_;
    double aspect_;
    double opacity_ = 1.0;
    PinView* view_;
    desktop::PanelSurface* surface_;
};

} // namespace delivery
