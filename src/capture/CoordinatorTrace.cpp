#include "capture/CoordinatorTrace.h"

#include <cstdio>

namespace capture {

bool coordinatorTraceEnabled() {
    static const bool enabled = qgetenv("VEXLIN_TRACE_COORDINATOR") == "1";
    return enabled;
}

void traceCoordinator(const QString& line) {
    if (!coordinatorTraceEnabled()) {
        return;
    }
    std::fprintf(stderr, "coordinator: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace capture
