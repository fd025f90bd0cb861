#pragma once

#include <QString>

namespace capture {

// The coordinator's decisions, one line each on standard error, only when
// VEXLIN_TRACE_COORDINATOR=1 (the X11 tests read them). Silent otherwise.
bool coordinatorTraceEnabled();
void traceCoordinator(const QString& line);

} // namespace capture
