#include "desktop/EscapeKey.h"

#include "app/HotKeyCenter.h"

namespace desktop {

namespace {

// Borrows Escape from the program's global hot keys; the hot-key centre is
// reached only when an overlay first holds the key.
class HotKeyEscape : public EscapeKey {
public:
    int holdEscape(std::function<void()> handler) override {
        return app::HotKeyCenter::shared().holdEscape(std::move(handler));
    }
    void releaseEscape(int token) override { app::HotKeyCenter::shared().releaseEscape(token); }
};

} // namespace

EscapeKey& globalEscapeKey() {
    static HotKeyEscape key;
    return key;
}

} // namespace desktop
