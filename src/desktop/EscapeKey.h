#pragma once

#include <functional>

namespace desktop {

// The global Escape key, lent to an overlay that must end on Escape while
// another application is in front. Only the newest holder hears Escape.
class EscapeKey {
public:
    virtual ~EscapeKey() = default;
    // Returns the hold's token for releaseEscape().
    virtual int holdEscape(std::function<void()> handler) = 0;
    // A token that is not held releases nothing.
    virtual void releaseEscape(int token) = 0;
};

// The program's global hot keys.
EscapeKey& globalEscapeKey();

} // namespace desktop
