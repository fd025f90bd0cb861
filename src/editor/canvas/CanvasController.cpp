#include "editor/canvas/CanvasController.h"

#include "annotation/AnnotationGeometry.h"
#include "annotation/EditorDocument.h"
#include "annotation/Tool.h"
#include "platform/MainThread.h"

#include <cmath>

namespace editor {

using annotation::Annotation;
using annotation::EditorDocument;
using annotation::Point;
using annotation::Rect;
using annotation::ShapeKind;
using annotation::Tool;

namespace {

// Reach of a mark's handles and tolerance of the hit test, in view points.
constexpr double kHandleReach = 8.0;
constexpr double kHitTolerance = 6.0;
// Beyond this margin around the canvas the pointer is the plain arrow.
constexpr double kCursorMargin = 12.0;

double distance(Point a, Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The topmost mark under the image point.
std::optional<Annotation> markAt(const EditorDocument& doc, Point p, double scale) {
    const std::vector<Annotation>& marks = doc.state().annotations;
    for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
        if (annotation::contains(*it, p, kHitTolerance / scale)) {
            return *it;
        }
    }
    return std::nullopt;
}

std::optional<annotation::Handle> handleNear(const EditorDocument& doc, const CanvasGeometry& g,
                                             Point v) {
    const std::optional<Annotation> selected = doc.selectedAnnotation();
    if (!selected) {
        return std::nullopt;
    }
    for (const auto& [handle, at] : annotation::handles(*selected)) {
        if (distance(g.toView(at), v) <= kHandleReach) {
            return handle;
        }
    }
    return std::nullopt;
}

bool isText(const std::optional<Annotation>& a) {
    return a && a->shape.kind() == ShapeKind::text;
}

} // namespace

CanvasController::CanvasController(EditorDocument& document, CanvasHost& host)
    : document_(document), host_(host) {}

CanvasController::~CanvasController() = default;

CanvasGeometry CanvasController::geometry() const {
    return CanvasGeometry::of(document_, host_.viewSize());
}

std::optional<Gesture::Kind> CanvasController::gesture() const {
    if (!gesture_) {
        return std::nullopt;
    }
    return gesture_->kind();
}

// ---- mouse ------------------------------------------------------------------

std::optional<CanvasCursor> CanvasController::mouseDown(const PointerInput& input) {
    platform::assertMainThread();
    // A click while a text is typed only ends the typing.
    if (host_.hasTextField()) {
        commitTextEditing();
        return std::nullopt;
    }
    host_.focusCanvas();
    // A gesture left open (the mouse went up outside the window, unseen)
    // ends before the next one begins.
    if (gesture_) {
        const CanvasGeometry g = geometry();
        GestureContext context{document_, g};
        std::unique_ptr<Gesture> stale = std::move(gesture_);
        stale->finish(context);
    }
    const CanvasGeometry g = geometry();
    const Point v = input.view;
    const Point p = g.toImage(v);

    // The rules in order; the first that applies decides.
    if (document_.tool() == Tool::crop) {
        GestureContext context{document_, g};
        gesture_ = cropGesture(context, v, p);
        return std::nullopt;
    }
    if (startAtHandle(g, v)) {
        return std::nullopt;
    }
    if (startOnMark(g, input, p)) {
        return gesture_ ? std::optional(CanvasCursor::closedHand) : std::nullopt;
    }
    startNewMark(g, v, p);
    return std::nullopt;
}

// The selected mark's handles win over any mark on top of them.
bool CanvasController::startAtHandle(const CanvasGeometry& g, Point v) {
    const std::optional<annotation::Handle> handle = handleNear(document_, g, v);
    if (!handle) {
        return false;
    }
    document_.beginChange();
    gesture_ = resizeGesture(*document_.selectedID(), *handle);
    return true;
}

bool CanvasController::startOnMark(const CanvasGeometry& g, const PointerInput& input, Point p) {
    const std::optional<Annotation> hit = markAt(document_, p, g.scale);
    if (!hit) {
        return false;
    }
    document_.select(hit->id);
    document_.beginChange();
    if (input.clickCount == 2 && hit->shape.kind() == ShapeKind::text) {
        startTextEditing(hit->id);
        return true;
    }
    gesture_ = moveGesture(hit->id, p);
    return true;
}

void CanvasController::startNewMark(const CanvasGeometry& g, Point v, Point p) {
    document_.select(std::nullopt);
    // The margin around the canvas only deselects.
    if (!g.canvasRect().contains(v)) {
        return;
    }
    const std::optional<Annotation> mark = document_.newAnnotation(p);
    if (!mark) {
        return;
    }
    const ShapeKind kind = mark->shape.kind();
    const bool placed = kind == ShapeKind::text || kind == ShapeKind::counter;
    // Texts and counters are drawn clipped to the shown image: one placed on
    // the background would never be seen.
    if (placed && !g.layout.crop.contains(p)) {
        return;
    }
    document_.beginChange();
    document_.addAnnotation(*mark);
    if (kind == ShapeKind::counter) {
        // The badge just placed follows the mouse.
        document_.setSelectedID(mark->id);
        gesture_ = moveGesture(mark->id, p);
    } else if (kind == ShapeKind::text) {
        document_.setSelectedID(mark->id);
        startTextEditing(mark->id);
    } else {
        gesture_ = createGesture(mark->id, p);
    }
}

void CanvasController::mouseDragged(const PointerInput& input) {
    platform::assertMainThread();
    if (!gesture_) {
        return;
    }
    const CanvasGeometry g = geometry();
    GestureContext context{document_, g};
    gesture_->drag(context, g.toImage(input.view), input.shift);
}

CanvasCursor CanvasController::mouseUp(const PointerInput& input) {
    platform::assertMainThread();
    if (gesture_) {
        const CanvasGeometry g = geometry();
        GestureContext context{document_, g};
        std::unique_ptr<Gesture> finished = std::move(gesture_);
        finished->finish(context);
    }
    return cursorAt(input.view);
}

CanvasCursor CanvasController::cursorAt(Point v) const {
    const CanvasGeometry g = geometry();
    if (!g.canvasRect().outsetBy(kCursorMargin).contains(v)) {
        return CanvasCursor::arrow;
    }
    if (document_.tool() == Tool::crop) {
        return CanvasCursor::crosshair;
    }
    if (handleNear(document_, g, v)) {
        return CanvasCursor::crosshair;
    }
    if (markAt(document_, g.toImage(v), g.scale)) {
        return CanvasCursor::openHand;
    }
    return document_.tool() == Tool::text ? CanvasCursor::iBeam : CanvasCursor::crosshair;
}

// ---- keys and commands -----------------------------------------------------

bool CanvasController::keyPress(const KeyInput& input) {
    platform::assertMainThread();
    const Qt::KeyboardModifiers mods = input.modifiers & (Qt::ShiftModifier | Qt::ControlModifier |
                                                          Qt::AltModifier | Qt::MetaModifier);
    // The editor's commands, for a window without a menu that takes them.
    if (mods == Qt::ControlModifier && input.key == Qt::Key_Z) {
        perform(CanvasCommand::undo);
        return true;
    }
    if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && input.key == Qt::Key_Z) {
        perform(CanvasCommand::redo);
        return true;
    }
    if (mods == Qt::ControlModifier && input.key == Qt::Key_C) {
        perform(CanvasCommand::copy);
        return true;
    }

    const std::optional<QUuid> selected = document_.selectedID();
    switch (input.key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (document_.tool() == Tool::crop) {
            document_.applyCrop();
        } else if (isText(document_.selectedAnnotation())) {
            document_.beginChange();
            startTextEditing(*selected);
        }
        return true;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (selected) {
            document_.removeAnnotation(*selected);
        }
        return true;
    case Qt::Key_Escape:
        if (document_.tool() == Tool::crop) {
            // Leaving the crop tool drops the draft.
            document_.setTool(document_.previousTool());
        } else {
            document_.select(std::nullopt);
        }
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (selected) {
            const double step = (mods & Qt::ShiftModifier) ? 10 : 1;
            const double dx = input.key == Qt::Key_Left    ? -step
                              : input.key == Qt::Key_Right ? step
                                                           : 0;
            const double dy = input.key == Qt::Key_Up     ? -step
                              : input.key == Qt::Key_Down ? step
                                                          : 0;
            document_.moveAnnotation(*selected, dx, dy);
            return true;
        }
        break;
    default:
        break;
    }

    // A tool's letter, as the key types it in the current layout; Shift does
    // not stop it, the other modifiers do.
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return false;
    }
    if (input.text.isEmpty()) {
        return false;
    }
    const QString letter = input.text.left(1).toLower();
    for (Tool tool : annotation::tools::allCases()) {
        if (annotation::shortcutKey(tool) == letter) {
            document_.setTool(tool);
            return true;
        }
    }
    return false;
}

void CanvasController::perform(CanvasCommand command) {
    platform::assertMainThread();
    switch (command) {
    case CanvasCommand::undo:
        document_.undo();
        break;
    case CanvasCommand::redo:
        document_.redo();
        break;
    case CanvasCommand::copy:
        if (onCopyImage_) {
            onCopyImage_();
        }
        break;
    case CanvasCommand::deleteSelection:
        if (const std::optional<QUuid> selected = document_.selectedID()) {
            document_.removeAnnotation(*selected);
        }
        break;
    }
}

bool CanvasController::isEnabled(CanvasCommand command) const {
    switch (command) {
    case CanvasCommand::undo:
        return !document_.undoStack().empty();
    case CanvasCommand::redo:
        return !document_.redoStack().empty();
    case CanvasCommand::copy:
        return true;
    case CanvasCommand::deleteSelection:
        return document_.selectedID().has_value();
    }
    return true;
}

// ---- the text field ----------------------------------------------------------

void CanvasController::startTextEditing(const QUuid& id) {
    platform::assertMainThread();
    const std::optional<Annotation> mark = document_.annotation(id);
    if (!isText(mark)) {
        return;
    }
    commitTextEditing();
    document_.setEditingTextID(id);
    host_.openTextField(mark->shape.textLabel()->string);
}

void CanvasController::commitTextEditing() {
    platform::assertMainThread();
    if (!host_.hasTextField()) {
        return;
    }
    host_.closeTextField();
    if (const std::optional<QUuid> id = document_.editingTextID()) {
        document_.setEditingTextID(std::nullopt);
        const std::optional<Annotation> mark = document_.annotation(*id);
        // A text of nothing but spaces and line breaks is no mark; one with
        // anything in it stays as typed.
        if (isText(mark) && mark->shape.textLabel()->string.trimmed().isEmpty()) {
            document_.removeAnnotation(*id);
        }
    }
    document_.endChange();
    host_.focusCanvas();
}

void CanvasController::textChanged(const QString& text) {
    platform::assertMainThread();
    const std::optional<QUuid> id = document_.editingTextID();
    if (!host_.hasTextField() || !id) {
        return;
    }
    document_.setText(text, *id);
    host_.layoutTextField();
}

void CanvasController::syncTextEditing() {
    if (!document_.editingTextID() && host_.hasTextField()) {
        commitTextEditing();
        return;
    }
    host_.layoutTextField();
}

} // namespace editor
