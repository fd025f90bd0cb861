#pragma once

class QScreen;

namespace desktop {

// The screen under the pointer, else the primary screen, else the first one;
// none when there is no screen at all.
QScreen* screenUnderPointerOrFirst();

} // namespace desktop
