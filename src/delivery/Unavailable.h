#pragma once

#include <QString>

namespace delivery {

// Tells the user, in a toast, that something of this subsystem is not built
// yet, so that pressing Pin or Share never looks as if it worked.
void tellUnavailable(const QString& title, const QString& detail);

} // namespace delivery
