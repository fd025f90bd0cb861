#include "platform/RecordingTrace.h"

namespace platform {

Q_LOGGING_CATEGORY(recordingTrace, "vexlin.recording", QtWarningMsg)

} // namespace platform
