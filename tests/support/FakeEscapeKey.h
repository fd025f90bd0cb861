#pragma once

#include "desktop/EscapeKey.h"

#include <utility>
#include <vector>

namespace testsupport {

// Escape as the hot keys lend it: a stack of holders, the newest one hears it.
class FakeEscapeKey : public desktop::EscapeKey {
public:
    int holdEscape(std::function<void()> handler) override {
        holds.emplace_back(++lastToken, std::move(handler));
        return lastToken;
    }
    void releaseEscape(int token) override {
        std::erase_if(holds, [token](const auto& hold) { return hold.first == token; });
    }
    void press() {
        if (!holds.empty()) {
            const auto handler = holds.back().second;
            handler();
        }
    }
    bool isHeld() const { return !holds.empty(); }

    std::vector<std::pair<int, std::function<void()>>> holds;
    int lastToken = 0;
};

} // namespace testsupport
