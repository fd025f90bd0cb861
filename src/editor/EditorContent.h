#pragma once

#include "app/Capture.h"

namespace editor {

// What an editor window is opened with: a capture, with (once the editor
// exists) an empty editor state and the record keyed by the image's content.
struct EditorContent {
    explicit EditorContent(app::Capture capture) : capture(std::move(capture)) {}
    app::Capture capture;
};

} // namespace editor
