#pragma once

class QWidget;

namespace settings {

// The Shortcuts section of the settings window.
QWidget* makeShortcutsPane(QWidget* parent);

} // namespace settings
