#include "app/StatusBarController.h"

#include "app/BrandIcon.h"
#include "app/Bundle.h"
#include "platform/DesktopNotification.h"
#include "platform/SystemTrayColors.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QSystemTrayIcon>

#include <cstdio>

namespace app {

namespace {

QString stopRecordingText() {
    //: Tool tip and accessibility name of the tray icon while a recording runs
    return QCoreApplication::translate("StatusBarController", "Stop Recording");
}

} // namespace

QIcon statusIcon() {
    // The panel's colour is not the application's (a light theme often sits
    // beside a dark panel), so the mark follows the tray where it says its
    // colour, and otherwise is light with a dark ring, which reads on both.
    if (const std::optional<QColor> foreground = platform::systemTrayForeground()) {
        return BrandIcon::image(*foreground);
    }
    return BrandIcon::outlinedImage(QColor(0xf7, 0xf7, 0xf7), QColor(0x1a, 0x1a, 0x1a));
}

QIcon stopRecordingIcon() {
    // A white square on a red disc, drawn at the sizes trays ask for.
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 59, 48));
        const qreal margin = side / 16.0;
        painter.drawEllipse(QRectF(margin, margin, side - 2 * margin, side - 2 * margin));
        painter.setBrush(Qt::white);
        const qreal square = side * 0.34;
        painter.drawRoundedRect(QRectF((side - square) / 2, (side - square) / 2, square, square),
                                side / 20.0, side / 20.0);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

StatusBarController::StatusBarController(std::function<void(CaptureAction)> onAction,
                                         QObject* parent)
    : QObject(parent)
    , onAction_(std::move(onAction))
    , menu_(std::make_unique<QMenu>())
    , tray_(new QSystemTrayIcon(this))
    , trayAnnouncements_(new platform::TrayAnnouncements(this)) {
    commands_.performAction = onAction_;
    connect(menu_.get(), &QMenu::aboutToShow, this, &StatusBarController::rebuildMenu);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // The tray opens the context menu itself on a right click. A
                // click soon after the one that stopped a recording reaches us
                // as a double click, and must open the menu all the same.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick ||
                    (reason == QSystemTrayIcon::Context && isShowingRecording_)) {
                    click();
                }
            });
    // A new colour scheme reaches the application object as a change of its
    // palette, whether the desktop or the program made it; the tray may have
    // changed its colours with it.
    QCoreApplication::instance()->installEventFilter(this);
    // A tray that comes later, or takes over from another, may say other
    // colours.
    connect(trayAnnouncements_, &platform::TrayAnnouncements::trayAnnounced, this, [this] {
        if (!isShowingRecording_) {
            tray_->setIcon(statusIcon());
        }
    });
    configureNormal();
    rebuildMenu();
    tray_->show();
}

void StatusBarController::announceIfNoTray(const std::optional<KeyShortcut>& captureKeys) {
    // Without a tray the icon and its menu have no home (Qt shows the icon
    // when a tray comes later). Said once, so the user knows the program
    // runs and the way in: by the desktop's notification server where one
    // answers, else on the terminal.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    const QString name = Bundle::main().appDisplayName();
    //: Title of the notification at start when the desktop has no system tray
    const QString summary = tr("%1 is running").arg(name);
    const QString body =
        captureKeys
            //: Text of the notification at start when the desktop has no system tray;
            //: %1 is the area capture's shortcut, %2 the program's name
            ? tr("No tray was found for its icon. Press %1 to capture an area; start %2 again to "
                 "open its settings.")
                  .arg(captureKeys->displayText(), name)
            //: Text of the notification at start when the desktop has no system tray and
            //: the area capture has no shortcut; %1 is the program's name
            : tr("No tray was found for its icon. Start %1 again to open its settings.").arg(name);
    platform::postNotification(name, summary, body, [](bool posted) {
        if (posted) {
            return;
        }
        //: Printed once at start when the desktop has no system tray
        const QString text = tr("Vexlin Capture: no system tray was found, so its icon and menu "
                                "are not shown. The hot keys work; start Vexlin Capture again to "
                                "open its settings.");
        std::fprintf(stderr, "%s\n", qPrintable(text));
    });
}

StatusBarController::~StatusBarController() {
    tray_->setContextMenu(nullptr);
}

bool StatusBarController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() &&
        event->type() == QEvent::ApplicationPaletteChange && !isShowingRecording_) {
        tray_->setIcon(statusIcon());
    }
    return QObject::eventFilter(watched, event);
}

void StatusBarController::setStateProvider(std::function<StatusMenuState()> provider) {
    stateProvider_ = std::move(provider);
    rebuildMenu();
}

void StatusBarController::setCommands(StatusMenuCommands commands) {
    commands_ = std::move(commands);
    commands_.performAction = onAction_;
    rebuildMenu();
}

void StatusBarController::setOnStopRecording(std::function<void()> onStop) {
    onStopRecording_ = std::move(onStop);
}

void StatusBarController::rebuildMenu() {
    buildStatusMenu(menu_.get(), stateProvider_ ? stateProvider_() : StatusMenuState{}, commands_);
}

void StatusBarController::configureNormal() {
    tray_->setIcon(statusIcon());
    tray_->setToolTip(Bundle::main().appDisplayName());
    tray_->setContextMenu(menu_.get());
}

void StatusBarController::setRecording(const std::optional<QString>& elapsed) {
    if (elapsed) {
        if (!isShowingRecording_) {
            isShowingRecording_ = true;
            menu_->hide();
            tray_->setContextMenu(nullptr);
            tray_->setIcon(stopRecordingIcon());
        }
        tray_->setToolTip(elapsed->isEmpty()
                              ? stopRecordingText()
                              : stopRecordingText() + QStringLiteral(" — ") + *elapsed);
        return;
    }
    if (isShowingRecording_) {
        isShowingRecording_ = false;
        configureNormal();
    }
}

void StatusBarController::click() {
    if (isShowingRecording_) {
        stopRecording();
    } else {
        menu_->popup(QCursor::pos());
    }
}

void StatusBarController::stopRecording() {
    if (onStopRecording_) {
        onStopRecording_();
    }
}

} // namespace app
