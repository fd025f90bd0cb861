#pragma once

class QObject;

namespace app {

// The object that answers a standard command ("copy()", "saveDocument()"):
// the focus widget or the nearest of its parents that has the slot, else the
// active window itself. Nothing when no window of the program is active or no
// object on the way has the slot; menu items for the command are then
// disabled.
QObject* firstResponder(const char* slotSignature);

// Text fields of Qt have no slot for deleting the selection; for
// "deleteSelection()" an editable text field with the focus answers too, and
// gets the Delete key.
//
// Calls the slot on the first responder; false when there is none.
bool sendToFirstResponder(const char* slotSignature);

// Whether the command can run now: a first responder answers it and, when
// that responder judges its own commands (an invokable
// `bool validateCommand(QByteArray slotSignature)`), allows it. Menu items
// follow this.
bool isCommandEnabled(const char* slotSignature);

} // namespace app
