#include "app/HotKeyCenter.h"

#include "app/Preferences.h"
#include "platform/GlobalKeyGrabber.h"
#include "platform/KeyCodeMap.h"
#include "platform/MainThread.h"

#include <optional>

namespace app {

namespace {

// The X combination of a stored shortcut; none for a key this keyboard lacks.
std::optional<platform::XKeyCombo> toX(const KeyShortcut& shortcut) {
    const std::optional<std::uint8_t> keycode = platform::keyCodeToX(shortcut.keyCode);
    if (!keycode) {
        return std::nullopt;
    }
    return platform::XKeyCombo{*keycode, platform::modifiersToX(shortcut.modifiers)};
}

} // namespace

HotKeyCenter::HotKeyCenter(std::unique_ptr<platform::GlobalKeyGrabber> grabber, QObject* parent)
    : QObject(parent), grabber_(std::move(grabber)) {
    grabber_->setOnPressed([this](quint32 id) { dispatch(id); });
}

HotKeyCenter::~HotKeyCenter() {
    grabber_->setOnPressed({});
}

HotKeyCenter& HotKeyCenter::shared() {
    platform::assertMainThread();
    // Never deleted: at exit Qt's X connection goes first, and the server
    // drops a client's grabs with it.
    static HotKeyCenter* instance = new HotKeyCenter(platform::createGlobalKeyGrabber());
    return *instance;
}

void HotKeyCenter::registerAll(const ShortcutMap& shortcuts) {
    platform::assertMainThread();
    shortcuts_ = shortcuts;
    if (suspendCount_ > 0) {
        return;
    }
    unregisterAll();
    std::set<CaptureAction> conflicts;
    for (CaptureAction action : captureActions::allCases()) {
        const std::optional<KeyShortcut> shortcut = shortcuts.value(action);
        if (!shortcut) {
            continue;
        }
        const std::optional<platform::XKeyCombo> key = toX(*shortcut);
        if (key && grabber_->grab(static_cast<quint32>(index(action)), *key) ==
                       platform::GrabResult::grabbed) {
            registered_.insert(action);
        } else {
            conflicts.insert(action);
        }
    }
    if (conflicts != conflicts_) {
        conflicts_ = std::move(conflicts);
        Q_EMIT conflictsChanged();
    }
}

void HotKeyCenter::follow(Preferences& preferences) {
    platform::assertMainThread();
    disconnect(following_);
    following_ = connect(&preferences, &Preferences::shortcutsChanged, this,
                         [this](const ShortcutMap& shortcuts) { registerAll(shortcuts); });
    registerAll(preferences.shortcuts());
}

void HotKeyCenter::unregisterAll() {
    platform::assertMainThread();
    for (CaptureAction action : registered_) {
        grabber_->ungrab(static_cast<quint32>(index(action)));
    }
    registered_.clear();
}

void HotKeyCenter::suspend() {
    platform::assertMainThread();
    if (++suspendCount_ == 1) {
        unregisterAll();
    }
}

void HotKeyCenter::resume() {
    platform::assertMainThread();
    if (suspendCount_ < 1) {
        return;
    }
    if (--suspendCount_ == 0) {
        registerAll(shortcuts_);
    }
}

int HotKeyCenter::holdEscape(std::function<void()> handler) {
    platform::assertMainThread();
    const int token = ++nextEscapeToken_;
    escapeHolds_.emplace_back(token, std::move(handler));
    if (!escapeRegistered_) {
        // A failed grab is tried again by the next hold.
        const std::optional<platform::XKeyCombo> key = toX(KeyShortcut{escapeKeyCode, 0});
        escapeRegistered_ =
            key && grabber_->grab(escapeHotKeyID, *key) == platform::GrabResult::grabbed;
    }
    return token;
}

void HotKeyCenter::releaseEscape(int token) {
    platform::assertMainThread();
    std::erase_if(escapeHolds_, [token](const auto& hold) { return hold.first == token; });
    if (escapeHolds_.empty() && escapeRegistered_) {
        grabber_->ungrab(escapeHotKeyID);
        escapeRegistered_ = false;
    }
}

void HotKeyCenter::dispatch(quint32 hotKeyID) {
    platform::assertMainThread();
    if (hotKeyID == escapeHotKeyID) {
        if (!escapeHolds_.empty()) {
            // A copy: the handler usually releases its own hold.
            const std::function<void()> handler = escapeHolds_.back().second;
            if (handler) {
                handler();
            }
        }
        return;
    }
    if (hotKeyID < captureActions::allCases().size() && onAction) {
        onAction(captureActions::allCases()[hotKeyID]);
    }
}

} // namespace app
