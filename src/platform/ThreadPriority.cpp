#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

void lowerCurrentThreadToBackground() {
    // On Linux the nice value belongs to the thread, named by its id.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    constexpr int backgroundNice = 10;
    if (::getpriority(PRIO_PROCESS, thread) < backgroundNice) {
        ::setpriority(PRIO_PROCESS, thread, backgroundNice);
    }
}

} // namespace platform
