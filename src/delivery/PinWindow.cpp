#include "delivery/PinWindow.h"

#include "app/FilePanels.h"
#include "app/ImageEncoding.h"
#include "app/ImageFiles.h"
#include "app/PasteboardCopy.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "delivery/PinGeometry.h"
#include "delivery/PinManager.h"
#include "delivery/PinView.h"
#include "desktop/PanelSurface.h"
#include "platform/MainThread.h"
#include "platform/WindowManagerHints.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QVBoxLayout>

#include <cmath>

namespace delivery {

namespace {

// The opacities the menu offers, in percent.
constexpr int kOpacities[] = {100, 75, 50, 25};

} // namespace

PinWindow::PinWindow(const app::Capture& capture, PinManager* manager, const QRectF& frame)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , capture_(capture)
    , manager_(manager)
    , aspect_(pinGeometry::aspectOf(pinGeometry::pointSize(capture.image.size(), capture.scale)))
    , view_(new PinView(this))
    , surface_(new desktop::PanelSurface(this, [this] { return outline(); })) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // A pin shows without becoming active, and Qt shows tooltips in the
    // active window only: its close mark would never say what it does.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    //: Window title of a pinned screenshot (window lists and task switchers show it)
    setWindowTitle(tr("Pinned Screenshot"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFrame(frame);
}

QPainterPath PinWindow::outline() const {
    return view_->outline();
}

bool PinWindow::isTranslucent() const {
    return surface_->isTranslucent();
}

void PinWindow::present() {
    platform::assertMainThread();
    show();
    raise();
    sendResizeHints();
    platform::showOnAllDesktops(winId());
}

void PinWindow::setFrame(const QRectF& frame) {
    // Whole points, at least one each way: a 1 × 1 capture still shows.
    QRect rect = frame.toRect();
    rect.setSize(rect.size().expandedTo(QSize(1, 1)));
    setGeometry(rect);
    if (isVisible()) {
        sendResizeHints();
    }
}

void PinWindow::sendResizeHints() {
    const QSize pixels = capture_.image.size();
    const int minimum = static_cast<int>(std::ceil(pinGeometry::minimumEdge * devicePixelRatioF()));
    platform::setResizeHints(winId(), pixels, QSize(minimum, minimum));
}

QMenu* PinWindow::makeContextMenu() {
    auto* menu = new QMenu;
    const QPointer<PinWindow> self(this);
    const auto act = [self](void (PinWindow::*action)()) {
        return [self, action] {
            if (self) {
                (self->*action)();
            }
        };
    };
    //: Pinned screenshot menu item: copy the image
    QObject::connect(menu->addAction(tr("Copy")), &QAction::triggered, menu,
                     act(&PinWindow::copyImage));
    //: Pinned screenshot menu item: save the image
    QObject::connect(menu->addAction(tr("Save")), &QAction::triggered, menu,
                     act(&PinWindow::saveImage));
    //: Pinned screenshot menu item: open it in the editor
    QObject::connect(menu->addAction(tr("Annotate")), &QAction::triggered, menu,
                     act(&PinWindow::editImage));
    menu->addSeparator();

    //: Pinned screenshot submenu
    QMenu* opacity = menu->addMenu(tr("Opacity"));
    auto* choices = new QActionGroup(opacity);
    const QLocale locale;
    const int current = static_cast<int>(std::lround(opacity_ * 100));
    for (const int percent : kOpacities) {
        QAction* item = opacity->addAction(locale.toString(percent) + locale.percent());
        item->setCheckable(true);
        item->setChecked(percent == current);
        item->setData(percent);
        choices->addAction(item);
        QObject::connect(item, &QAction::triggered, menu, [self, percent] {
            if (self) {
                self->setOpacityPercent(percent);
            }
        });
    }
    QObject::connect(menu->addAction(tr("Actual Size")), &QAction::triggered, menu,
                     act(&PinWindow::actualSize));
    menu->addSeparator();
    //: Pinned screenshot menu item: remove the pin
    QObject::connect(menu->addAction(tr("Close")), &QAction::triggered, menu,
                     act(&PinWindow::closePin));
    return menu;
}

void PinWindow::closePin() {
    if (manager_) {
        manager_->close(this);
    }
}

void PinWindow::copyImage() {
    app::copyImageToPasteboard(capture_.image, std::nullopt, capture_.scale);
}

void PinWindow::saveImage() {
    platform::assertMainThread();
    const app::ImageFormat format = app::SaveLocation::preferences().imageFormat();
    const std::optional<QByteArray> bytes =
        app::encodeImage(capture_.image, format, capture_.scale);
    const app::Result<QString> written =
        bytes ? app::SaveLocation::withFolder([&](const QString& folder) {
            return app::writeUniqueFile(*bytes, folder, capture_.date, format);
        })
              : app::Result<QString>(app::FileError::encodingFailed());
    if (!written && !app::SaveLocation::isUserCancellation(written.error())) {
        app::FilePanels::current().showError(this, written.error());
    }
}

void PinWindow::editImage() {
    if (!manager_) {
        return;
    }
    // The manager may drop us, and whoever opens the editor may run an event
    // loop meanwhile: keep what the editor needs first.
    const app::Capture capture = capture_;
    const QPointer<PinManager> manager = manager_;
    manager->close(this);
    if (manager && manager->onEdit) {
        manager->onEdit(capture);
    }
}

void PinWindow::setOpacityPercent(int percent) {
    opacity_ = percent / 100.0;
    setWindowOpacity(opacity_);
}

void PinWindow::actualSize() {
    setFrame(pinGeometry::actualSize(QRectF(geometry()),
                                     pinGeometry::pointSize(capture_.image.size(), capture_.scale),
                                     aspect_));
}

void PinWindow::zoomBy(double factor) {
    setFrame(pinGeometry::zoomed(QRectF(geometry()), factor, aspect_));
}

void PinWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        closePin();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PinWindow::closeEvent(QCloseEvent* event) {
    // The window manager's close (a key of its own, a task list) closes the
    // pin as its button does; the manager then drops it.
    event->ignore();
    closePin();
}

} // namespace delivery
