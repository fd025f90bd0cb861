#include "capture/EscapeKey.h"

namespace capture {

namespace {

// Until the global hot keys can lend Escape, holds are counted but no key is
// grabbed: the overlays still end by a click or their own action.
class UngrabbedEscapeKey : public EscapeKey {
public:
    int holdEscape(std::function<void()>) override { return ++lastToken_; }
    void releaseEscape(int) override {}

private:
    int lastToken_ = 0;
};

} // namespace

EscapeKey& globalEscapeKey() {
    static UngrabbedEscapeKey key;
    return key;
}

} // namespace capture
