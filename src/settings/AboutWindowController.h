#pragma once

class QWidget;

namespace settings {

// The one About window: created on first use, hidden when closed and shown
// again by the next show().
class AboutWindowController {
public:
    // Shows the window, counting it among the program's windows when it was
    // not counted yet, and brings it to the front.
    static void show();
    static bool isVisible();
    // The window, once made.
    static QWidget* window();
};

} // namespace settings
