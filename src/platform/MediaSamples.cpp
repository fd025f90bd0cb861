#include "platform/MediaSamples.h"

#include <ctime>

namespace platform {

HostTime hostTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<HostTime>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace platform
