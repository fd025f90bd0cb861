#pragma once

#include <QPointer>
#include <QWidget>

namespace delivery {

// The widget below which a Share button opens the share menu: the button
// itself. It empties by itself when the button goes; a click then shares
// nothing.
using ShareAnchor = QPointer<QWidget>;

} // namespace delivery
