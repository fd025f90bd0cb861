#pragma once

#include <QString>

namespace desktop {

// Why a picture could not be taken.
enum class CaptureError { noDisplays, windowNotFound, permissionMissing };

// The sentence shown to the user, in the current language.
QString errorDescription(CaptureError error);

} // namespace desktop
