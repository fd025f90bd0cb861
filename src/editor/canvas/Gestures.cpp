#include "editor/canvas/Gestures.h"

#include "annotation/AnnotationGeometry.h"
#include "annotation/EditorDocument.h"
#include "editor/canvas/ShapeDrawing.h"

#include <cmath>
#include <variant>

namespace editor {

using annotation::Annotation;
using annotation::EditorDocument;
using annotation::Handle;
using annotation::Point;
using annotation::Rect;

namespace {

// The crop handles reach a little further than a mark's.
constexpr double kCropHandleReach = 9.0;

class MoveGesture final : public Gesture {
public:
    MoveGesture(const QUuid& id, Point start) : id_(id), last_(start) {}
    Kind kind() const override { return Kind::moving; }
    void drag(GestureContext& c, Point p, bool) override {
        c.document.moveAnnotation(id_, p.x - last_.x, p.y - last_.y);
        last_ = p;
    }
    void finish(GestureContext& c) override { c.document.endChange(); }

private:
    QUuid id_;
    Point last_;
};

class ResizeGesture final : public Gesture {
public:
    ResizeGesture(const QUuid& id, Handle handle) : id_(id), handle_(handle) {}
    Kind kind() const override { return Kind::resizing; }
    void drag(GestureContext& c, Point p, bool) override {
        c.document.resizeAnnotation(id_, handle_, p);
    }
    void finish(GestureContext& c) override { c.document.endChange(); }

private:
    QUuid id_;
    Handle handle_;
};

class CreateGesture final : public Gesture {
public:
    CreateGesture(const QUuid& id, Point origin) : id_(id), origin_(origin) {}
    Kind kind() const override { return Kind::creating; }

    void drag(GestureContext& c, Point p, bool shift) override {
        EditorDocument& doc = c.document;
        const std::optional<std::size_t> index = doc.indexOfAnnotation(id_);
        if (!index) {
            return;
        }
        const Annotation& current = doc.state().annotations[*index];
        const ShapeDrawing& drawing = shapeDrawing(current.shape.kind());
        // View points per image point: the canvas and image points are the
        // same size.
        const ShapeDrawing::Drag step{origin_, p, shift, c.geometry.scale};
        annotation::Shape shape = drawing.shaped(current.shape, step);
        if (shape == current.shape) {
            return;
        }
        // One change of the state per step; joins the gesture's change.
        const bool wasOpen = doc.isChangeOpen();
        if (!wasOpen) {
            doc.beginChange();
        }
        annotation::EditorState next = doc.state();
        next.annotations[*index].shape = std::move(shape);
        doc.setState(next);
        if (!wasOpen) {
            doc.endChange();
        }
    }

    void finish(GestureContext& c) override {
        EditorDocument& doc = c.document;
        if (const std::optional<Annotation> a = doc.annotation(id_)) {
            if (shapeDrawing(a->shape.kind()).tooSmall(a->shape)) {
                doc.removeAnnotation(id_);
            } else {
                doc.setSelectedID(id_);
            }
        }
        doc.endChange();
    }

private:
    QUuid id_;
    Point origin_;
};

class CropGesture final : public Gesture {
public:
    struct New {
        Point origin;
    };
    struct Move {
        Point last;
    };
    using Mode = std::variant<New, Move, Handle>;

    explicit CropGesture(Mode mode) : mode_(mode) {}
    Kind kind() const override { return Kind::cropping; }

    void drag(GestureContext& c, Point p, bool shift) override {
        EditorDocument& doc = c.document;
        if (!doc.cropDraft()) {
            return;
        }
        const Rect draft = *doc.cropDraft();
        const annotation::Size image = doc.imageSize();
        Rect next = draft;
        const Point clamped = clamp(p, image);
        if (const New* n = std::get_if<New>(&mode_)) {
            Point corner = clamped;
            if (shift) {
                // A square may lose its squareness at the image's edge.
                corner = clamp(squareCorner(n->origin, clamped), image);
            }
            const Point o = n->origin;
            next = Rect(std::fmin(corner.x, o.x), std::fmin(corner.y, o.y),
                        std::fabs(o.x - corner.x), std::fabs(o.y - corner.y));
        } else if (Move* m = std::get_if<Move>(&mode_)) {
            next = draft.offsetBy(p.x - m->last.x, p.y - m->last.y);
            next.origin.x = std::fmin(std::fmax(next.origin.x, 0), image.width - next.width());
            next.origin.y = std::fmin(std::fmax(next.origin.y, 0), image.height - next.height());
            // The unclamped point: the draft follows again as soon as the
            // mouse turns back.
            m->last = p;
        } else {
            next = annotation::resizing(std::get<Handle>(mode_), draft, clamped);
        }
        if (!(next == draft)) {
            doc.setCropDraft(next);
        }
    }

    void finish(GestureContext&) override {}

    static Point clamp(Point p, annotation::Size image) {
        return Point{std::fmin(std::fmax(p.x, 0), image.width),
                     std::fmin(std::fmax(p.y, 0), image.height)};
    }

private:
    Mode mode_;
};

} // namespace

std::unique_ptr<Gesture> moveGesture(const QUuid& id, Point start) {
    return std::make_unique<MoveGesture>(id, start);
}

std::unique_ptr<Gesture> resizeGesture(const QUuid& id, Handle handle) {
    return std::make_unique<ResizeGesture>(id, handle);
}

std::unique_ptr<Gesture> createGesture(const QUuid& id, Point origin) {
    return std::make_unique<CreateGesture>(id, origin);
}

std::unique_ptr<Gesture> cropGesture(GestureContext& c, Point view, Point p) {
    EditorDocument& doc = c.document;
    if (!doc.cropDraft()) {
        return nullptr;
    }
    const Rect draft = *doc.cropDraft();
    // The crop draft has the eight handles of a rectangle mark.
    const Annotation box{QUuid(), annotation::Shape::area(annotation::ShapeKind::rectangle, draft),
                         {},      0,
                         false,   annotation::TextStyle::plain};
    for (const auto& [handle, at] : annotation::handles(box)) {
        const Point v = c.geometry.toView(at);
        if (std::hypot(v.x - view.x, v.y - view.y) <= kCropHandleReach) {
            return std::make_unique<CropGesture>(handle);
        }
    }
    if (draft.contains(p)) {
        return std::make_unique<CropGesture>(CropGesture::Move{p});
    }
    const Point corner = CropGesture::clamp(p, doc.imageSize());
    doc.setCropDraft(Rect(corner, annotation::Size{}));
    return std::make_unique<CropGesture>(CropGesture::New{corner});
}

} // namespace editor
