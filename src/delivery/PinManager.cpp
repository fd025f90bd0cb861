#include "delivery/PinManager.h"

#include "delivery/Unavailable.h"
#include "platform/MainThread.h"

#include <QCoreApplication>

namespace delivery {

PinManager& PinManager::shared() {
    static PinManager instance;
    return instance;
}

QString PinManager::unavailableTitle() {
    //: Toast title when the user pins a capture in a version without pinned screenshots
    return QCoreApplication::translate("PinManager", "Pinning isn’t available yet");
}

void PinManager::pin(const app::Capture& /*capture*/) {
    platform::assertMainThread();
    tellUnavailable(unavailableTitle(),
                    //: Toast detail when the user pins a capture in a version without pinned
                    //: screenshots
                    QCoreApplication::translate("PinManager",
                                                "This version of Vexlin Capture can’t pin "
                                                "screenshots to the screen."));
}

} // namespace delivery
