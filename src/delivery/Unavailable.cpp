#include "delivery/Unavailable.h"

#include "desktop/Toast.h"

#include <QColor>

namespace delivery {

void tellUnavailable(const QString& title, const QString& detail) {
    desktop::showToast(title, detail, QStringLiteral("exclamationmark.circle"),
                       QColor(255, 149, 0));
}

} // namespace delivery
