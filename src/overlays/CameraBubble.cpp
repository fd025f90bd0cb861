#include "overlays/CameraBubble.h"

#include "overlays/CameraGeometry.h"

#include "app/Preferences.h"
#include "desktop/DropShadow.h"
#include "desktop/PanelSurface.h"
#include "desktop/ScreenGeometry.h"
#include "platform/DisplayMonitors.h"
#include "platform/OutputEdid.h"
#include "platform/WindowManagerHints.h"
#include "platform/WindowShape.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QScreen>

namespace overlays {

namespace {

// Unmanaged like the recording's control panel, so that the window manager
// neither stacks it under the recorded program nor gives it the focus.
constexpr Qt::WindowFlags kBubbleFlags = Qt::Tool | Qt::FramelessWindowHint |
                                         Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                                         Qt::X11BypassWindowManagerHint;

constexpr double kBorder = 2;
// The bubble's drop shadow: black at 35 %, blurred by 12 points (a Gaussian
// of half that deviation), 4 points down, inside a margin that holds it.
constexpr double kShadowSigma = 6;
constexpr double kShadowAlpha = 0.35;
constexpr double kShadowDrop = 4;
constexpr int kShadowMargin = 22;
const QColor kBackdrop = QColor::fromRgbF(0.1f, 0.1f, 0.1f);

} // namespace

// --- view ---

CameraBubbleView::CameraBubbleView() : QWidget(nullptr, kBubbleFlags) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    //: Window title of the camera bubble shown during a recording (not shown)
    setWindowTitle(tr("Camera"));
    surface_ = new desktop::PanelSurface(this, [this] { return outline(); });
    margin_ = surface_->isTranslucent() ? kShadowMargin : 0;
}

QRectF CameraBubbleView::bubbleRect() const {
    return QRectF(rect()).adjusted(margin_, margin_, -margin_, -margin_);
}

QPainterPath CameraBubbleView::outline() const {
    QPainterPath path;
    const QRectF bounds = bubbleRect();
    const double radius = cameraGeometry::cornerRadius(bounds.size(), shape_);
    path.addRoundedRect(bounds, radius, radius);
    return path;
}

void CameraBubbleView::setStyle(app::CameraShape shape, bool mirrored) {
    shape_ = shape;
    mirrored_ = mirrored;
    surface_->reshape();
    shapeInput();
    update();
}

void CameraBubbleView::setFrame(const QImage& frame) {
    frame_ = frame;
    update();
}

void CameraBubbleView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    platform::showOnAllDesktops(winId());
    shapeInput();
}

void CameraBubbleView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    shapeInput();
}

void CameraBubbleView::shapeInput() {
    if (margin_ > 0 && testAttribute(Qt::WA_WState_Created)) {
        platform::setWindowInputShape(winId(),
                                      desktop::outlineRegion(outline(), devicePixelRatioF()));
    }
}

void CameraBubbleView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool translucent = surface_->isTranslucent();
    if (translucent) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    painter.setRenderHint(QPainter::Antialiasing, translucent);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPainterPath clip = outline();
    const QRectF bubble = bubbleRect();
    if (margin_ > 0) {
        // Drawn by us: a compositing manager may give such a window none.
        const qreal scale = devicePixelRatioF();
        if (!shadow_ || shadow_->size != bubble.size() || shadow_->shape != shape_ ||
            shadow_->scale != scale) {
            shadow_ = Shadow{bubble.size(), shape_, scale,
                             desktop::shapeShadow(clip.translated(-bubble.topLeft()), scale,
                                                  kShadowSigma, kShadowAlpha)};
        }
        desktop::drawShadow(painter, shadow_->shadow, bubble.topLeft() + QPointF(0, kShadowDrop),
                            scale);
    }
    painter.fillPath(clip, kBackdrop);
    if (!frame_.isNull()) {
        painter.save();
        painter.setClipPath(clip);
        if (mirrored_) {
            painter.translate(width(), 0);
            painter.scale(-1, 1);
        }
        // Aspect fill: the picture covers the bubble, its middle shows.
        const QSizeF picture =
            QSizeF(frame_.size()).scaled(bubble.size(), Qt::KeepAspectRatioByExpanding);
        QRectF target(QPointF(), picture);
        target.moveCenter(bubble.center());
        painter.drawImage(target, frame_);
        painter.restore();
    }
    // White at 0.85 over the backdrop, mixed by hand where nothing blends.
    QColor border =
        translucent ? QColor::fromRgbF(1, 1, 1, 0.85f) : QColor::fromRgbF(0.865f, 0.865f, 0.865f);
    QPainterPathStroker stroker;
    stroker.setWidth(2 * kBorder);
    painter.setClipPath(clip);
    painter.fillPath(stroker.createStroke(clip), border);
}

void CameraBubbleView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    dragStartMouse_ = event->globalPosition();
    if (onDragStart) {
        onDragStart();
    }
}

void CameraBubbleView::mouseMoveEvent(QMouseEvent* event) {
    if (dragStartMouse_ && onDrag) {
        onDrag(event->globalPosition() - *dragStartMouse_);
    }
}

void CameraBubbleView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragStartMouse_) {
        return;
    }
    dragStartMouse_.reset();
    if (onDragEnd) {
        onDragEnd();
    }
}

void CameraBubbleView::contextMenuEvent(QContextMenuEvent* event) {
    if (!makeMenu) {
        return;
    }
    QMenu* menu = makeMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// --- bubble ---

QString CameraBubble::displayKeyOf(QScreen* screen) {
    const std::uint32_t number = desktop::ScreenGeometry::displayID(screen).value_or(0);
    QByteArray edid;
    for (const platform::DisplayMonitor& monitor : platform::displayMonitors()) {
        if (monitor.id == number) {
            edid = platform::outputEdid(monitor.id);
            break;
        }
    }
    return cameraGeometry::displayKey(edid, number);
}

CameraBubble::CameraBubble(QScreen* screen, const QString& displayKey, std::optional<QRectF> window,
                           app::Preferences& preferences)
    : preferences_(preferences)
    , screen_(screen)
    , displayFrame_(screen ? QRectF(screen->geometry()) : QRectF(0, 0, 1920, 1080))
    , window_(window)
    , displayKey_(displayKey) {
    view_ = new CameraBubbleView();
    QPointer<CameraBubble> self(this);
    view_->onDragStart = [self] {
        if (self)
            self->dragStartFrame_ = self->frame();
    };
    view_->onDrag = [self](QPointF delta) {
        if (self)
            self->dragBy(delta);
    };
    view_->onDragEnd = [self] {
        if (self)
            self->endDrag();
    };
    view_->makeMenu = [self]() -> QMenu* { return self ? self->makeMenu() : new QMenu(); };
    connect(&feed_, &CameraFeed::frameArrived, view_, &CameraBubbleView::setFrame);

    const QSizeF size =
        cameraGeometry::bubbleSize(preferences_.cameraSize(), preferences_.cameraShape());
    QRectF frame;
    if (window_) {
        frame = cameraGeometry::defaultFrameInWindow(size, *window_);
    } else if (const auto stored = preferences_.cameraPositions().value(displayKey_);
               preferences_.cameraPositions().contains(displayKey_)) {
        frame = cameraGeometry::frameFromStored(size, stored, displayFrame_);
    } else {
        const QRectF visible = screen ? QRectF(screen->availableGeometry()) : displayFrame_;
        frame = cameraGeometry::defaultFrameOnDisplay(size, visible, displayFrame_);
    }
    setFrame(frame);
    view_->show();
    view_->raise();
    reconfigureCamera();

    connect(&preferences_, &app::Preferences::cameraShapeChanged, this,
            &CameraBubble::applySettings, Qt::QueuedConnection);
    connect(&preferences_, &app::Preferences::cameraSizeChanged, this, &CameraBubble::applySettings,
            Qt::QueuedConnection);
    connect(&preferences_, &app::Preferences::cameraMirroredChanged, this,
            &CameraBubble::applySettings, Qt::QueuedConnection);
    connect(&preferences_, &app::Preferences::cameraDeviceIDChanged, this,
            &CameraBubble::applySettings, Qt::QueuedConnection);
}

CameraBubble::~CameraBubble() {
    close();
}

QRectF CameraBubble::frame() const {
    if (!view_) {
        return {};
    }
    const int m = view_->shadowMargin();
    return QRectF(view_->geometry()).adjusted(m, m, -m, -m);
}

void CameraBubble::moveTo(const QPointF& topLeft) {
    const int m = view_->shadowMargin();
    view_->move(topLeft.toPoint() - QPoint(m, m));
}

QRectF CameraBubble::container() const {
    return window_ ? *window_ : displayFrame_;
}

void CameraBubble::setFrame(const QRectF& frame) {
    if (!view_) {
        return;
    }
    const int m = view_->shadowMargin();
    view_->setGeometry(frame.toRect().adjusted(-m, -m, m, m));
    view_->setStyle(preferences_.cameraShape(), preferences_.cameraMirrored());
}

void CameraBubble::applySettings() {
    if (closed_) {
        return;
    }
    const QSizeF size =
        cameraGeometry::bubbleSize(preferences_.cameraSize(), preferences_.cameraShape());
    setFrame(cameraGeometry::resized(frame(), size, container()));
    if (preferences_.cameraDeviceID() != deviceID_) {
        reconfigureCamera();
    }
}

void CameraBubble::reconfigureCamera() {
    deviceID_ = preferences_.cameraDeviceID();
    // Once the camera runs, the style is applied again and the shadow drawn
    // anew: the picture's first frame may come with a new size of its own.
    QPointer<CameraBubble> self(this);
    feed_.configure(deviceID_, [self] {
        if (self && !self->closed_ && self->view_) {
            self->view_->setStyle(self->preferences_.cameraShape(),
                                  self->preferences_.cameraMirrored());
        }
    });
}

void CameraBubble::dragBy(QPointF delta) {
    if (closed_ || !view_) {
        return;
    }
    moveTo(cameraGeometry::dragged(dragStartFrame_, delta, container()).topLeft());
}

void CameraBubble::endDrag() {
    // A window recording's bubble belongs to the window, not the display.
    if (closed_ || window_) {
        return;
    }
    preferences_.setCameraPosition(displayKey_,
                                   cameraGeometry::storedFromFrame(frame(), displayFrame_));
}

void CameraBubble::windowMoved(const QRectF& window) {
    if (closed_ || !window_ || !view_) {
        return;
    }
    const QRectF moved = cameraGeometry::movedWith(frame(), *window_, window);
    moveTo(moved.topLeft());
    window_ = window;
}

void CameraBubble::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    feed_.stop();
    if (view_) {
        view_->hide();
        view_->deleteLater();
        view_ = nullptr;
    }
}

QMenu* CameraBubble::makeMenu() {
    auto* menu = new QMenu();
    QPointer<CameraBubble> self(this);
    app::Preferences* preferences = &preferences_;

    //: Camera bubble menu: submenu with Circle and Rounded rectangle
    QMenu* shapes = menu->addMenu(tr("Shape"));
    for (app::CameraShape shape : {app::CameraShape::circle, app::CameraShape::roundedRectangle}) {
        QAction* action = shapes->addAction(app::title(shape));
        action->setCheckable(true);
        action->setChecked(preferences_.cameraShape() == shape);
        connect(action, &QAction::triggered, menu,
                [preferences, shape] { preferences->setCameraShape(shape); });
    }
    //: Camera bubble menu: submenu with Small, Medium and Large
    QMenu* sizes = menu->addMenu(tr("Size"));
    for (app::CameraSize size :
         {app::CameraSize::small, app::CameraSize::medium, app::CameraSize::large}) {
        QAction* action = sizes->addAction(app::title(size));
        action->setCheckable(true);
        action->setChecked(preferences_.cameraSize() == size);
        connect(action, &QAction::triggered, menu,
                [preferences, size] { preferences->setCameraSize(size); });
    }
    //: Camera bubble: flip the picture horizontally, like a mirror
    QAction* mirror = menu->addAction(tr("Mirror"));
    mirror->setCheckable(true);
    mirror->setChecked(preferences_.cameraMirrored());
    connect(mirror, &QAction::triggered, menu,
            [preferences] { preferences->setCameraMirrored(!preferences->cameraMirrored()); });
    menu->addSeparator();
    //: Camera bubble menu: takes the camera picture off the screen
    QAction* hide = menu->addAction(tr("Hide Camera"));
    connect(hide, &QAction::triggered, menu, [self] {
        if (self && self->onHide)
            self->onHide();
    });
    return menu;
}

} // namespace overlays
