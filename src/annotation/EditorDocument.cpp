#include "annotation/EditorDocument.h"

#include "annotation/AnnotationGeometry.h"
#include "annotation/CustomColors.h"
#include "annotation/ShapeTraits.h"
#include "platform/MainThread.h"

#include <algorithm>
#include <limits>

namespace annotation {

namespace {

// Colour, size and shadow mean nothing to regions.
bool leavesStyleAlone(ShapeKind kind) {
    return traitsOf(kind).isRegion;
}

// An optional rectangle compared by presence and exact value.
bool sameDraft(const std::optional<Rect>& a, const std::optional<Rect>& b) {
    if (a.has_value() != b.has_value()) {
        return false;
    }
    return !a || identical(*a, *b);
}

} // namespace

EditorDocument::EditorDocument(app::Capture capture, EditorState state, CustomColors* colours,
                               QObject* parent)
    : QObject(parent)
    , capture_(std::move(capture))
    , sources_(capture_.image, capture_.scale)
    , state_(state)
    , color_(RGBA::palette().front())
    , exportedState_(std::move(state))
    , colours_(colours) {
    platform::assertMainThread();
}

EditorDocument::~EditorDocument() = default;

CustomColors& EditorDocument::colours() const {
    return colours_ ? *colours_ : CustomColors::shared();
}

// ---- plain observed stores ----------------------------------------------

void EditorDocument::setState(const EditorState& state) {
    platform::assertMainThread();
    if (state == state_) {
        return;
    }
    state_ = state;
    Q_EMIT stateChanged();
}

void EditorDocument::setSelectedID(const std::optional<QUuid>& id) {
    platform::assertMainThread();
    if (id == selectedID_) {
        return;
    }
    selectedID_ = id;
    Q_EMIT selectedIDChanged();
}

void EditorDocument::setEditingTextID(const std::optional<QUuid>& id) {
    platform::assertMainThread();
    if (id == editingTextID_) {
        return;
    }
    editingTextID_ = id;
    Q_EMIT editingTextIDChanged();
}

void EditorDocument::setCropDraft(const std::optional<Rect>& draft) {
    platform::assertMainThread();
    if (sameDraft(draft, cropDraft_)) {
        return;
    }
    cropDraft_ = draft;
    Q_EMIT cropDraftChanged();
}

void EditorDocument::setShowsBackgroundPanel(bool shown) {
    platform::assertMainThread();
    if (shown == showsBackgroundPanel_) {
        return;
    }
    showsBackgroundPanel_ = shown;
    Q_EMIT showsBackgroundPanelChanged();
}

void EditorDocument::setUndoStack(std::vector<EditorState> stack) {
    if (stack == undoStack_) {
        return;
    }
    undoStack_ = std::move(stack);
    Q_EMIT undoStackChanged();
}

void EditorDocument::setRedoStack(std::vector<EditorState> stack) {
    if (stack == redoStack_) {
        return;
    }
    redoStack_ = std::move(stack);
    Q_EMIT redoStackChanged();
}

void EditorDocument::markExported(const EditorState& state) {
    platform::assertMainThread();
    if (state == exportedState_) {
        return;
    }
    exportedState_ = state;
    Q_EMIT exportedStateChanged();
}

bool EditorDocument::hasUnsavedChanges() const {
    return state_ != exportedState_ && !undoStack_.empty();
}

// ---- tool and style -------------------------------------------------------

void EditorDocument::setTool(Tool tool) {
    platform::assertMainThread();
    if (tool == tool_) {
        return;
    }
    const Tool old = tool_;
    tool_ = tool;
    Q_EMIT toolChanged();
    if (tool == Tool::crop) {
        previousTool_ = old;
        const Size image = imageSize();
        setCropDraft(state_.crop.value_or(Rect(0, 0, image.width, image.height)));
        setSelectedID(std::nullopt);
    } else {
        setCropDraft(std::nullopt);
    }
}

void EditorDocument::setColor(const RGBA& colour) {
    platform::assertMainThread();
    if (colour != color_) {
        color_ = colour;
        Q_EMIT colorChanged();
    }
    if (selectedID_) {
        setColor(colour, *selectedID_);
        const std::optional<Annotation> selected = selectedAnnotation();
        if (selected && !leavesStyleAlone(selected->shape.kind())) {
            colours().colorDidChange(colour);
        }
    }
}

void EditorDocument::setSize(double size) {
    platform::assertMainThread();
    if (size != size_) {
        size_ = size;
        Q_EMIT sizeChanged();
    }
    if (selectedID_) {
        setSize(size, *selectedID_);
    }
}

void EditorDocument::setShadow(bool shadow) {
    platform::assertMainThread();
    if (shadow != shadow_) {
        shadow_ = shadow;
        Q_EMIT shadowChanged();
    }
    if (selectedID_) {
        setShadow(shadow, *selectedID_);
    }
}

void EditorDocument::setTextStyle(TextStyle style) {
    platform::assertMainThread();
    if (style != textStyle_) {
        textStyle_ = style;
        Q_EMIT textStyleChanged();
    }
    if (selectedID_) {
        setTextStyle(style, *selectedID_);
    }
}

void EditorDocument::loadStyle(const Annotation& a) {
    if (a.color != color_) {
        color_ = a.color;
        Q_EMIT colorChanged();
    }
    if (a.size != size_) {
        size_ = a.size;
        Q_EMIT sizeChanged();
    }
    if (a.shadow != shadow_) {
        shadow_ = a.shadow;
        Q_EMIT shadowChanged();
    }
    if (a.textStyle != textStyle_) {
        textStyle_ = a.textStyle;
        Q_EMIT textStyleChanged();
    }
}

// ---- queries --------------------------------------------------------------

std::optional<Annotation> EditorDocument::selectedAnnotation() const {
    return selectedID_ ? annotation(*selectedID_) : std::nullopt;
}

std::optional<Annotation> EditorDocument::annotation(const QUuid& id) const {
    const std::optional<std::size_t> index = indexOfAnnotation(id);
    if (!index) {
        return std::nullopt;
    }
    return state_.annotations[*index];
}

std::optional<std::size_t> EditorDocument::indexOfAnnotation(const QUuid& id) const {
    for (std::size_t i = 0; i < state_.annotations.size(); ++i) {
        if (state_.annotations[i].id == id) {
            return i;
        }
    }
    return std::nullopt;
}

qint64 EditorDocument::nextCounterNumber() const {
    std::optional<qint64> largest;
    for (const Annotation& a : state_.annotations) {
        if (const CounterBadge* badge = a.shape.counterBadge()) {
            largest = std::max(largest.value_or(badge->number), badge->number);
        }
    }
    if (!largest) {
        return 1;
    }
    // A damaged record may hold the largest number there is.
    return *largest < std::numeric_limits<qint64>::max() ? *largest + 1 : *largest;
}

std::optional<Annotation> EditorDocument::newAnnotation(Point p) const {
    // Every tool but crop makes the mark of its own name, started at the point.
    const std::optional<ShapeKind> kind = shapeKindFromCaseName(rawValue(tool_));
    if (!kind) {
        return std::nullopt;
    }
    Annotation a{QUuid::createUuid(), Shape::line(p, p), color_, size_, shadow_, textStyle_};
    switch (traitsOf(*kind).form) {
    case ShapeForm::ends:
        a.shape = *kind == ShapeKind::arrow ? Shape::arrow(p, p) : Shape::line(p, p);
        break;
    case ShapeForm::area:
        a.shape = Shape::area(*kind, Rect(p, Size{}));
        break;
    case ShapeForm::label:
        a.shape = Shape::text(p, QString());
        break;
    case ShapeForm::badge:
        a.shape = Shape::counter(p, nextCounterNumber());
        break;
    case ShapeForm::stroke:
        a.shape = *kind == ShapeKind::pencil ? Shape::pencil({p}) : Shape::highlighter({p});
        break;
    }
    return a;
}

// ---- changes --------------------------------------------------------------

void EditorDocument::beginChange() {
    platform::assertMainThread();
    if (!changeBase_) {
        changeBase_ = state_;
    }
}

void EditorDocument::endChange() {
    platform::assertMainThread();
    if (!changeBase_) {
        return;
    }
    EditorState base = std::move(*changeBase_);
    changeBase_.reset();
    if (base == state_) {
        return;
    }
    std::vector<EditorState> undo = undoStack_;
    undo.push_back(std::move(base));
    if (undo.size() > undoLimit) {
        undo.erase(undo.begin());
    }
    setUndoStack(std::move(undo));
    setRedoStack({});
}

template <typename Mutation> void EditorDocument::grouped(Mutation&& mutate) {
    const bool wasOpen = isChangeOpen();
    if (!wasOpen) {
        beginChange();
    }
    EditorState next = state_;
    mutate(next);
    setState(next);
    if (!wasOpen) {
        endChange();
    }
}

template <typename Edit> void EditorDocument::editAnnotation(const QUuid& id, Edit&& edit) {
    const std::optional<std::size_t> index = indexOfAnnotation(id);
    if (!index) {
        return;
    }
    grouped([&](EditorState& s) { edit(s.annotations[*index]); });
}

void EditorDocument::undo() {
    step(true);
}
void EditorDocument::redo() {
    step(false);
}

void EditorDocument::step(bool backwards) {
    platform::assertMainThread();
    endChange();
    std::vector<EditorState> source = backwards ? undoStack_ : redoStack_;
    if (source.empty()) {
        return;
    }
    std::vector<EditorState> target = backwards ? redoStack_ : undoStack_;
    EditorState next = std::move(source.back());
    source.pop_back();
    target.push_back(state_);
    if (backwards) {
        setUndoStack(std::move(source));
        setRedoStack(std::move(target));
    } else {
        setRedoStack(std::move(source));
        setUndoStack(std::move(target));
    }
    setState(next);
    setEditingTextID(std::nullopt);
    if (selectedID_ && !indexOfAnnotation(*selectedID_)) {
        setSelectedID(std::nullopt);
    }
}

// ---- edits ----------------------------------------------------------------

void EditorDocument::select(const std::optional<QUuid>& id) {
    platform::assertMainThread();
    setSelectedID(id);
    if (!id) {
        return;
    }
    const std::optional<Annotation> selected = annotation(*id);
    if (!selected || leavesStyleAlone(selected->shape.kind())) {
        return;
    }
    loadStyle(*selected);
}

void EditorDocument::addAnnotation(const Annotation& a) {
    platform::assertMainThread();
    grouped([&](EditorState& s) { s.annotations.push_back(a); });
    if (!leavesStyleAlone(a.shape.kind())) {
        CustomColors& list = colours();
        list.commitPendingColor();
        list.setList(CustomColors::add(list.list(), a.color.red, a.color.green, a.color.blue));
    }
}

void EditorDocument::resizeAnnotation(const QUuid& id, Handle handle, Point to) {
    platform::assertMainThread();
    editAnnotation(id, [&](Annotation& a) { a = resizing(a, handle, to); });
}

void EditorDocument::moveAnnotation(const QUuid& id, double dx, double dy) {
    platform::assertMainThread();
    editAnnotation(id, [&](Annotation& a) { a = offset(a, dx, dy); });
}

void EditorDocument::setText(const QString& text, const QUuid& id) {
    platform::assertMainThread();
    editAnnotation(id, [&](Annotation& a) {
        if (const TextLabel* label = a.shape.textLabel()) {
            a.shape = Shape::text(label->origin, text);
        }
    });
}

void EditorDocument::setColor(const RGBA& colour, const QUuid& id) {
    platform::assertMainThread();
    editAnnotation(id, [&](Annotation& a) { a.color = colour; });
}

void EditorDocument::setSize(double size, const QUuid& id) {
    platform::assertMainThread();
    editAnnotation(id, [&](Annotation& a) { a.size = size; });
}

void EditorDocument::setShadow(bool shadow, const QUuid& id) {
    platform::assertMainThread();
    editAnnotation(id, [&](Annotation& a) { a.shadow = shadow; });
}

void EditorDocument::setTextStyle(TextStyle style, const QUuid& id) {
    platform::assertMainThread();
    editAnnotation(id, [&](Annotation& a) { a.textStyle = style; });
}

void EditorDocument::removeAnnotation(const QUuid& id) {
    platform::assertMainThread();
    grouped([&](EditorState& s) {
        std::erase_if(s.annotations, [&](const Annotation& a) { return a.id == id; });
    });
    if (selectedID_ == id) {
        setSelectedID(std::nullopt);
    }
    if (editingTextID_ == id) {
        setEditingTextID(std::nullopt);
    }
}

void EditorDocument::applyCrop() {
    platform::assertMainThread();
    if (cropDraft_) {
        const Size image = imageSize();
        const Rect bounds(0, 0, image.width, image.height);
        const Rect r = cropDraft_->intersected(bounds);
        if (!r.isNull() && r.width() >= 4 && r.height() >= 4) {
            const Rect crop = r.integral().intersected(bounds);
            grouped([&](EditorState& s) {
                if (identical(crop, bounds)) {
                    s.crop.reset();
                } else {
                    s.crop = crop;
                }
            });
        }
    }
    setTool(previousTool_);
}

void EditorDocument::setBackgroundEnabled(bool enabled) {
    platform::assertMainThread();
    grouped([&](EditorState& s) {
        if (enabled && !s.background.isEnabled) {
            const Size image = imageSize();
            const Size area = s.crop ? s.crop->standardized().size : image;
            s.background.padding =
                std::clamp(roundHalfAway(std::min(area.width, area.height) * 0.09), 24.0, 140.0);
        }
        s.background.isEnabled = enabled;
    });
}

} // namespace annotation
