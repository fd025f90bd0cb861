#pragma once

#include "app/HotKeyCenter.h"
#include "desktop/EscapeKey.h"

namespace shell {

// Lends the overlays of capture the global Escape of the hot-key center.
class HotKeyEscape final : public desktop::EscapeKey {
public:
    int holdEscape(std::function<void()> handler) override {
        return app::HotKeyCenter::shared().holdEscape(std::move(handler));
    }
    void releaseEscape(int token) override { app::HotKeyCenter::shared().releaseEscape(token); }
};

} // namespace shell
