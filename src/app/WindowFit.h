#pragma once

#include <QSize>

class QScreen;
class QWidget;

namespace app {

// The largest client area a window of ours can have on the screen (the one
// under the pointer when none is given): the screen's available area less the
// window manager's frame, as the window has it once shown, else a title bar's
// worth. A window taller or wider than this would run off the screen.
QSize roomOnScreen(const QWidget* window, QScreen* screen = nullptr);

// `wanted` bounded by roomOnScreen.
QSize fittedSize(const QWidget* window, QSize wanted, QScreen* screen = nullptr);

} // namespace app
