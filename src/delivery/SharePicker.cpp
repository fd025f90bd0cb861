#include "delivery/SharePicker.h"

#include "delivery/Unavailable.h"
#include "platform/MainThread.h"

#include <QCoreApplication>

namespace delivery {

QString SharePicker::unavailableTitle() {
    //: Toast title when the user shares a capture in a version without sharing
    return QCoreApplication::translate("SharePicker", "Sharing isn’t available yet");
}

void SharePicker::show(const QString& /*file*/, QWidget* /*anchor*/) {
    platform::assertMainThread();
    tellUnavailable(unavailableTitle(),
                    //: Toast detail when the user shares a capture in a version without sharing
                    QCoreApplication::translate("SharePicker",
                                                "This version of Vexlin Capture can’t share "
                                                "captures."));
}

} // namespace delivery
