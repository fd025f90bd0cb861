#pragma once

#include "annotation/Annotation.h"
#include "editor/canvas/CanvasGeometry.h"

#include <QUuid>

#include <memory>

namespace annotation {
class EditorDocument;
}

namespace editor {

// What a gesture may touch while it runs: the document, and the geometry of
// the event at hand (made afresh for each event).
struct GestureContext {
    annotation::EditorDocument& document;
    const CanvasGeometry& geometry;
};

// One mouse gesture from mouse-down to mouse-up. Each kind is a small handler
// of its own; the controller decides at mouse-down which one runs.
class Gesture {
public:
    enum class Kind { creating, moving, resizing, cropping };

    virtual ~Gesture() = default;
    virtual Kind kind() const = 0;
    // A drag step to the image point `p`.
    virtual void drag(GestureContext& context, annotation::Point p, bool shift) = 0;
    // The mouse went up.
    virtual void finish(GestureContext& context) = 0;
};

// Drags a mark: every step moves it by what the mouse moved. The change that
// the mouse-down opened ends with the gesture, so the drag is one undo step.
std::unique_ptr<Gesture> moveGesture(const QUuid& id, annotation::Point start);
// Drags one handle of a mark.
std::unique_ptr<Gesture> resizeGesture(const QUuid& id, annotation::Handle handle);
// Shapes a mark just added at `origin`, by the drawing rule of its kind; at
// the end a mark too small to keep is removed, any other is selected.
std::unique_ptr<Gesture> createGesture(const QUuid& id, annotation::Point origin);
// Draws, moves or resizes the crop draft (the crop tool); none while there is
// no draft. May write the draft itself (a new rectangle starts at the
// clamped point). `view` and `p` are the mouse-down point in both spaces.
std::unique_ptr<Gesture> cropGesture(GestureContext& context, annotation::Point view,
                                     annotation::Point p);

} // namespace editor
