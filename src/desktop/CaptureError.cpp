#include "desktop/CaptureError.h"

#include <QCoreApplication>

namespace desktop {

QString errorDescription(CaptureError error) {
    switch (error) {
    case CaptureError::noDisplays:
        //: Shown in the alert when a screenshot fails because no display could be read
        return QCoreApplication::translate("CaptureError", "No display could be captured.");
    case CaptureError::windowNotFound:
        //: Shown in the alert when the picked window closed or hid before its picture was taken
        return QCoreApplication::translate("CaptureError", "That window is no longer on screen.");
    case CaptureError::permissionMissing:
        break;
    }
    //: Shown when the X server does not let the program read the screen
    return QCoreApplication::translate("CaptureError",
                                       "Vexlin Capture has no access to the screen.");
}

} // namespace desktop
