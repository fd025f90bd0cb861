#pragma once

#include <QIcon>
#include <QString>

namespace app {

// Menu titles are plain text here, but Qt reads '&' in an action's text as the
// mark of a keyboard mnemonic; "Capture Area & Copy" must keep its ampersand.
QString menuTitle(const QString& text);

// The text of an item together with the shortcut shown in its right column
// (Qt draws what follows a tab there). The shortcut is only shown: the work is
// done elsewhere, by a global hot key.
QString menuTitle(const QString& text, const QString& shortcutText);

// The menu picture for one of the program's symbol names ("rectangle.dashed",
// "folder", …) from the desktop's icon theme, made once per name. A name the
// theme lacks gives an empty icon and the item shows no picture.
QIcon menuSymbol(const QString& symbolName);

} // namespace app
