#pragma once

#include <utility>

namespace app {

// Puts a value in a slot for as long as it lives and then restores what the
// slot held before: how tests put their own services or panels in place of
// the program's. Scopes nest.
template <typename T> class ScopedReplacement {
public:
    ScopedReplacement(T& slot, T value) : slot_(slot), previous_(std::move(slot)) {
        slot_ = std::move(value);
    }
    ~ScopedReplacement() { slot_ = std::move(previous_); }
    ScopedReplacement(const ScopedReplacement&) = delete;
    ScopedReplacement& operator=(const ScopedReplacement&) = delete;

private:
    T& slot_;
    T previous_;
};

} // namespace app
