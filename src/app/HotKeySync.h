#pragma once

#include "app/ShortcutMap.h"

#include <QObject>

#include <functional>

namespace app {

class Preferences;

// Keeps the global hot keys in step with the stored shortcut map: registers
// them once at once, then again one main-thread turn after every change, with
// the map as stored by then. Changes that come in before that turn (a reset,
// two quick edits) make one registration, not one each.
class HotKeySync : public QObject {
    Q_OBJECT
public:
    using Register = std::function<void(const ShortcutMap&)>;

    HotKeySync(Preferences& preferences, Register registerAll, QObject* parent = nullptr);

private:
    void registerNow();

    Preferences& preferences_;
    Register registerAll_;
    bool pending_ = false;
};

} // namespace app
