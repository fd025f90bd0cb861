#pragma once

namespace settings {

// Stands in for the About window until it is built: the program's name and
// version in a plain window.
class AboutWindowController {
public:
    // Shows the one About window, creating it on first use, and brings it to
    // the front.
    static void show();
    static bool isVisible();
};

} // namespace settings
