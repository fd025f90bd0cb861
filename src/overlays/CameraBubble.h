#pragma once

#include "overlays/CameraFeed.h"

#include "app/SettingsEnums.h"
#include "desktop/DropShadow.h"

#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QScreen;

namespace app {
class Preferences;
}
namespace desktop {
class PanelSurface;
}

namespace overlays {

// The floating panel with the camera picture: clipped to a circle or a
// rounded rectangle, framed, mirrored when asked; dragged by the mouse, set
// up from its context menu. It never takes the focus from the program being
// recorded.
class CameraBubbleView final : public QWidget {
    Q_OBJECT
public:
    CameraBubbleView();

    void setStyle(app::CameraShape shape, bool mirrored);
    void setFrame(const QImage& frame);
    bool isMirrored() const { return mirrored_; }
    app::CameraShape shape() const { return shape_; }
    // The clip outline in the view's points.
    QPainterPath outline() const;
    // Room around the bubble for its shadow, on every side: only where
    // windows blend; elsewhere the window is the bubble.
    int shadowMargin() const { return margin_; }
    // The bubble itself in the view's points.
    QRectF bubbleRect() const;
    desktop::PanelSurface* surface() const { return surface_; }

    std::function<void()> onDragStart;
    std::function<void(QPointF delta)> onDrag;
    std::function<void()> onDragEnd;
    std::function<QMenu*()> makeMenu;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Clicks on the shadow reach the window below.
    void shapeInput();

    app::CameraShape shape_ = app::CameraShape::circle;
    bool mirrored_ = false;
    QImage frame_;
    std::optional<QPointF> dragStartMouse_;
    desktop::PanelSurface* surface_ = nullptr;
    int margin_ = 0;
    // The shadow made for one size, shape and scale, kept until they change.
    struct Shadow {
        QSizeF size;
        app::CameraShape shape;
        qreal scale = 0;
        desktop::DropShadow shadow;
    };
    std::optional<Shadow> shadow_;
};

// The camera bubble of one recording: placed on the recorded display (or in
// the recorded window), its place per display remembered in the settings,
// its shape, size, mirroring and camera following the settings while it is
// open. Main thread only.
class CameraBubble final : public QObject {
    Q_OBJECT
public:
    // `window`: the recorded window's frame in global points, for a window
    // recording. `displayKey`: where the position of `screen` is stored.
    CameraBubble(QScreen* screen, const QString& displayKey, std::optional<QRectF> window,
                 app::Preferences& preferences);
    ~CameraBubble() override;

    // Called by the menu's "Hide Camera".
    std::function<void()> onHide;

    // The recorded window moved: the bubble moves with it.
    void windowMoved(const QRectF& window);
    // Stops the camera and takes the bubble off the screen, for good.
    void close();
    bool isClosed() const { return closed_; }

    CameraBubbleView* view() const { return view_; }
    CameraFeed& feed() { return feed_; }
    QRectF frame() const;
    std::optional<QRectF> window() const { return window_; }
    QMenu* makeMenu();

    // The key a screen's position is stored under.
    static QString displayKeyOf(QScreen* screen);

private:
    QRectF container() const;
    void setFrame(const QRectF& frame);
    void applySettings();
    void reconfigureCamera();
    // Puts the bubble's own top-left corner (not its shadow's) there.
    void moveTo(const QPointF& topLeft);
    void dragBy(QPointF delta);
    void endDrag();

    app::Preferences& preferences_;
    QPointer<QScreen> screen_;
    QRectF displayFrame_;
    std::optional<QRectF> window_;
    QString displayKey_;
    CameraFeed feed_;
    QPointer<CameraBubbleView> view_;
    std::optional<QString> deviceID_;
    QRectF dragStartFrame_;
    bool closed_ = false;
};

} // namespace overlays
