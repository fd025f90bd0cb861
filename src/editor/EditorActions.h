#pragma once

#include "app/RecentFile.h"

#include <functional>
#include <memory>

class QMimeData;
class QWidget;

namespace editor {

// What an editor window's views may ask of their window, in one place: the
// bottom bar's buttons and the recent strip call these. The window builds
// them; each does nothing once its window is gone.
struct EditorActions {
    std::function<void()> copy;
    std::function<void()> save;
    std::function<void()> saveAs;
    std::function<void()> pin;
    // The share picker opens below the given widget.
    std::function<void(QWidget* anchor)> share;
    // What a drag out of the editor carries; empty when there is nothing.
    std::function<std::unique_ptr<QMimeData>()> dragItem;
    // A file chosen in the recent strip.
    std::function<void(const app::RecentFile& file)> openRecent;
};

} // namespace editor
