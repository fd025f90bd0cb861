#pragma once

namespace delivery {

// Lets assistive technology see the card's painted buttons as buttons, named
// by their tooltips and pressed by their action. Installed once; later calls
// do nothing.
void installQuickAccessCardAccessibility();

} // namespace delivery
