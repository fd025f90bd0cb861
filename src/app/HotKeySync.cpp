#include "app/HotKeySync.h"

#include "app/Preferences.h"

#include <QTimer>

namespace app {

HotKeySync::HotKeySync(Preferences& preferences, Register registerAll, QObject* parent)
    : QObject(parent), preferences_(preferences), registerAll_(std::move(registerAll)) {
    connect(&preferences_, &Preferences::shortcutsChanged, this, [this] {
        if (pending_) {
            return;
        }
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            registerNow();
        });
    });
    registerNow();
}

void HotKeySync::registerNow() {
    registerAll_(preferences_.shortcuts());
}

} // namespace app
