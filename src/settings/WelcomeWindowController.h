#pragma once

namespace settings {

// Stands in for the welcome guide until it is built: a plain window that says
// the guide is not available yet.
class WelcomeWindowController {
public:
    // Shows the one welcome window, creating it on first use, and brings it to
    // the front.
    static void show();
    static bool isVisible();
};

} // namespace settings
