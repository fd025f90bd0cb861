#pragma once

#include <QString>

class QWidget;

namespace delivery {

// Stands in for the sharing picker until it is built: showing it only says,
// in a toast, that sharing is not available. The file stays where it is.
class SharePicker {
public:
    // Offers the file to the desktop's handlers, below `anchor`.
    static void show(const QString& file, QWidget* anchor);

    static QString unavailableTitle();
};

} // namespace delivery
