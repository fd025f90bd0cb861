#include "app/AppPresence.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace app {

AppPresence::AppPresence(QObject* parent) : QObject(parent) {}

AppPresence& AppPresence::shared() {
    // Lives for the whole process, like the counter it stands for.
    static auto* instance = new AppPresence;
    return *instance;
}

void AppPresence::appWindowDidOpen() {
    ++openAppWindowCount_;
    setPolicy(ActivationPolicy::regular);
    // Activation on X11 belongs to a window: the show operation that called
    // this gives its window the focus through bringWindowToFront().
}

void AppPresence::appWindowDidClose() {
    openAppWindowCount_ = std::max(0, openAppWindowCount_ - 1);
    if (openAppWindowCount_ > 0) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { returnToAccessoryIfNoWindow(); }, Qt::QueuedConnection);
}

void AppPresence::activateAsRegularApp() {
    setPolicy(ActivationPolicy::regular);
}

void AppPresence::returnToAccessoryIfNoWindow() {
    if (openAppWindowCount_ == 0) {
        setPolicy(ActivationPolicy::accessory);
    }
}

void AppPresence::setPolicy(ActivationPolicy policy) {
    if (policy_ == policy) {
        return;
    }
    policy_ = policy;
    Q_EMIT activationPolicyChanged(policy);
}

void appWindowDidOpen() {
    AppPresence::shared().appWindowDidOpen();
}
void appWindowDidClose() {
    AppPresence::shared().appWindowDidClose();
}
void activateAsRegularApp() {
    AppPresence::shared().activateAsRegularApp();
}

void terminateApplication() {
    QCoreApplication::exit(0);
}

namespace {

void makeKeyAndOrderFront(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void bringWindowToFront(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    makeKeyAndOrderFront(window);
    const QPointer<QWidget> held(window);
    QMetaObject::invokeMethod(
        window,
        [held] {
            if (held.isNull()) {
                return;
            }
            makeKeyAndOrderFront(held);
            QTimer::singleShot(150, held, [held] {
                if (!held.isNull() && held->isVisible() &&
                    QGuiApplication::applicationState() != Qt::ApplicationActive) {
                    makeKeyAndOrderFront(held);
                }
            });
        },
        Qt::QueuedConnection);
}

void centreOnScreen(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QSize size = window->frameGeometry().size().expandedTo(window->size());
    QPoint at(area.x() + (area.width() - size.width()) / 2,
              area.y() + (area.height() - size.height()) / 2);
    at.setX(std::max(area.left(), at.x()));
    at.setY(std::max(area.top(), at.y()));
    window->move(at);
}

} // namespace app
