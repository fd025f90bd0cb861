#pragma once

#include "app/Recording.h"
#include "recording/WriterError.h"
#include "videoeditor/VideoEditorRules.h"

#include <QString>

#include <atomic>
#include <variant>

namespace videoeditor {

using ExportResult = std::variant<app::Recording, recording::WriterError>;

// Makes the file an export plan asks for in `folder`, named by a new UUID:
// a video of the range (or the whole recording) with every sound track or
// none, or a GIF of it; and describes it as a new recording with the
// source's date (a video: its length and a poster frame; a GIF: the sum of
// its delays, its first frame and scale 1). A plan of kind source gives the
// recording itself and writes nothing. Decodes and encodes: blocks, so run
// it off the main thread. A failed export leaves no file.
ExportResult runExport(const ExportPlan& plan, const app::Recording& source, const QString& folder,
                       const std::atomic<bool>* cancelled = nullptr);

// The error an export reports: "The video could not be exported." with the
// reason.
recording::WriterError exportFailure(const QString& reason);

} // namespace videoeditor
