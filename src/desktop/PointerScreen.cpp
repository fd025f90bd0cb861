#include "desktop/PointerScreen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace desktop {

QScreen* screenUnderPointerOrFirst() {
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
        return screen;
    }
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        return primary;
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

} // namespace desktop
