#pragma once

namespace platform {

// Lowers the calling thread's scheduling priority for background work (a
// nice value of 10): it still makes progress on a busy machine, behind
// everything the user waits for. It cannot be raised again without
// privileges, so only threads that do nothing but background work call it.
void lowerCurrentThreadToBackground();

} // namespace platform
