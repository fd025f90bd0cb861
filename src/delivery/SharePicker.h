#pragma once

#include "delivery/ShareAnchor.h"

#include <QString>

#include <functional>
#include <vector>

class QMenu;

namespace delivery {

// The share menu behind every Share button: the desktop's ways of handing
// one file on, in a menu below the button. Main thread only.
class SharePicker {
public:
    // Pops the menu for `file` up below `anchor` and returns at once. A
    // chosen entry does its work and brings the anchor's window back to the
    // front; a dismissed menu does nothing. Nothing happens without an
    // anchor. A menu still open from before goes.
    static void show(const QString& file, QWidget* anchor);

    // The menu being shown: from show until it closed and reported how.
    static QMenu* current();

    // One way of handing the file on.
    struct Entry {
        QString text;
        std::function<void()> choose;
    };
    // What the menu offers for `file`, in order: opening it with the default
    // application of its type, e-mailing it where xdg-email is installed,
    // showing it in the file manager. Failures are told in alerts over
    // `window`.
    static std::vector<Entry> entries(const QString& file, QWidget* window);

private:
    static void report(QMenu* picker, bool chosen, const ShareAnchor& anchor);
    static QPointer<QMenu>& currentPicker();
};

} // namespace delivery
