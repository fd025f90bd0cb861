#pragma once

#include "app/Recording.h"

namespace videoeditor {

// Stands in for the video editor until it is built: a video recording opens
// a plain window that says the editor is not available yet; a GIF opens
// nothing, as it would in the real editor.
class VideoEditorWindowController {
public:
    static void open(const app::Recording& recording);
    // How many stand-in windows are open.
    static int openCount();
};

} // namespace videoeditor
