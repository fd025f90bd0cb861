#pragma once

#include "app/CaptureAction.h"
#include "app/KeyShortcut.h"
#include "app/ShortcutMap.h"

#include <QObject>

#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace platform {
class GlobalKeyGrabber;
}

namespace app {

class Preferences;

// The program's global hot keys: one per capture action that has a shortcut,
// plus Escape lent to whichever overlay must end on it while another program
// has the focus. Lives on the main thread.
class HotKeyCenter final : public QObject {
    Q_OBJECT

public:
    // Hot-key identifiers: 0–8 are the actions by index; this one is Escape.
    static constexpr quint32 escapeHotKeyID = 900;
    // The stored key code of Escape.
    static constexpr std::uint32_t escapeKeyCode = 53;

    explicit HotKeyCenter(std::unique_ptr<platform::GlobalKeyGrabber> grabber,
                          QObject* parent = nullptr);
    ~HotKeyCenter() override;

    // The one instance of the program, on the system's grabber; created on
    // first use and kept until the process ends (its grabs end with it).
    static HotKeyCenter& shared();

    // Called for every press of a registered action hot key.
    std::function<void(CaptureAction)> onAction;

    // Replaces every action hot key by those of `shortcuts`. While suspended
    // the map is only kept, for resume().
    void registerAll(const ShortcutMap& shortcuts);
    // Registers the store's shortcuts now and again whenever they change, for
    // as long as the store lives; a later call follows the new store instead.
    void follow(Preferences& preferences);
    // Lets go of every action hot key; Escape stays as it is.
    void unregisterAll();
    // Nested pauses of the action hot keys (while a shortcut is being recorded).
    void suspend();
    void resume();

    // Lends Escape to `handler` until releaseEscape() with the returned token.
    // Only the newest holder hears it.
    int holdEscape(std::function<void()> handler);
    void releaseEscape(int token);

    // A press of the hot key with this identifier.
    void dispatch(quint32 hotKeyID);

    // The actions whose hot key could not be registered at the last full
    // registration (taken by another program, or not a key of this keyboard).
    const std::set<CaptureAction>& conflicts() const { return conflicts_; }
    // The map given to the last registerAll().
    const ShortcutMap& shortcuts() const { return shortcuts_; }
    bool isRegistered(CaptureAction action) const { return registered_.contains(action); }
    bool isEscapeRegistered() const { return escapeRegistered_; }
    bool isSuspended() const { return suspendCount_ > 0; }
    // How many pauses are open (one per shortcut recorder that listens).
    int suspendCount() const { return suspendCount_; }

Q_SIGNALS:
    // conflicts() became a different set.
    void conflictsChanged();

private:
    std::unique_ptr<platform::GlobalKeyGrabber> grabber_;
    std::set<CaptureAction> conflicts_;
    std::set<CaptureAction> registered_;
    ShortcutMap shortcuts_;
    int suspendCount_ = 0;
    std::vector<std::pair<int, std::function<void()>>> escapeHolds_;
    bool escapeRegistered_ = false;
    int nextEscapeToken_ = 0;
    QMetaObject::Connection following_;
};

} // namespace app
