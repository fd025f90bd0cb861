#include "capture/selection/SelectionMachine.h"

#include "capture/selection/SelectionGeometry.h"
#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"

#include <algorithm>
#include <utility>

namespace capture {

namespace {

bool sameIdsAndFrames(const std::vector<desktop::WindowInfo>& a,
                      const std::vector<desktop::WindowInfo>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const desktop::WindowInfo& x, const desktop::WindowInfo& y) {
                          return x.id == y.id && QRectF(x.frame) == QRectF(y.frame);
                      });
}

QRectF grown(const QRectF& r, qreal by) {
    return r.adjusted(-by, -by, by, by);
}

} // namespace

QRectF SelectionViewState::selection() const {
    return isDragging() ? selection::rectBetween(*dragOrigin, *dragPoint) : QRectF();
}

QRectF SelectionViewState::bounds() const {
    return QRectF(QPointF(0, 0), selection::displaySize(display));
}

SelectionMachine::SelectionMachine(std::vector<desktop::CaptureDisplay> displays,
                                   std::vector<desktop::WindowInfo> windows, Options options,
                                   WindowSource windowSource)
    : damage_(displays.size())
    , windows_(std::move(windows))
    , options_(std::move(options))
    , windowSource_(std::move(windowSource))
    , mode_(options_.mode) {
    views_.reserve(displays.size());
    for (desktop::CaptureDisplay& display : displays) {
        views_.push_back(SelectionViewState{std::move(display), false, {}, {}, {}});
    }
}

void SelectionMachine::begin(QPointF pointer) {
    updateHover(pointer, false);
    for (int i = 0; i < viewCount(); ++i) {
        movePointer(i, pointer);
    }
    applyMode(pointer);
}

template <typename Change> void SelectionMachine::changeView(int view, Change change) {
    std::vector<QRectF> before = dirtyRects(view);
    change(views_[view]);
    std::vector<QRectF> after = dirtyRects(view);
    std::vector<QRectF>& rects = damage_[view].rects;
    rects.insert(rects.end(), before.begin(), before.end());
    rects.insert(rects.end(), after.begin(), after.end());
}

void SelectionMachine::updateHover(QPointF global, bool force) {
    std::optional<quint32> display;
    for (const SelectionViewState& view : views_) {
        if (desktop::ScreenGeometry::frameContains(view.display.frame, global)) {
            display = view.display.displayID;
            break;
        }
    }
    std::optional<desktop::WindowInfo> window;
    if (mode_ == SelectionMode::window) {
        window = desktop::WindowList::window(global, windows_);
    }
    const bool changed =
        window != hoveredWindow_ || (window == hoveredWindow_ && display != hoveredDisplay_);
    hoveredWindow_ = std::move(window);
    hoveredDisplay_ = display;
    if ((changed || force) && mode_ == SelectionMode::window) {
        for (Damage& damage : damage_) {
            damage.whole = true;
        }
    }
}

void SelectionMachine::movePointer(int view, QPointF global) {
    const QRectF frame(views_[view].display.frame);
    std::optional<QPointF> pointer;
    if (desktop::ScreenGeometry::frameContains(frame, global)) {
        pointer = global - frame.topLeft();
    }
    changeView(view, [&](SelectionViewState& state) { state.pointer = pointer; });
}

void SelectionMachine::clearDrag(int view) {
    changeView(view, [](SelectionViewState& state) {
        state.dragOrigin.reset();
        state.dragPoint.reset();
    });
}

void SelectionMachine::applyMode(QPointF global) {
    if (mode_ == SelectionMode::window) {
        reloadWindows(global, false);
    }
    updateHover(global, true);
    for (int i = 0; i < viewCount(); ++i) {
        clearDrag(i);
        damage_[i].whole = true;
    }
}

void SelectionMachine::reloadWindows(QPointF global, bool alwaysHover) {
    std::vector<desktop::WindowInfo> fresh =
        windowSource_ ? windowSource_() : std::vector<desktop::WindowInfo>{};
    if (sameIdsAndFrames(fresh, windows_)) {
        return;
    }
    windows_ = std::move(fresh);
    if (alwaysHover) {
        updateHover(global, true);
    }
}

SelectionMachine::Command SelectionMachine::pointerMoved(QPointF global) {
    if (isTakingPicture_ || isClosed_) {
        return {};
    }
    updateHover(global, false);
    // Every view, not only the one under the pointer: a view that missed its
    // leave event would otherwise keep a stale crosshair.
    for (int i = 0; i < viewCount(); ++i) {
        movePointer(i, global);
    }
    return {};
}

SelectionMachine::Command SelectionMachine::pointerLeft(int view) {
    if (isClosed_) {
        return {};
    }
    changeView(view, [](SelectionViewState& state) { state.pointer.reset(); });
    return {};
}

SelectionMachine::Command SelectionMachine::pressed(int view, QPointF local, QPointF global) {
    if (isTakingPicture_ || isClosed_) {
        return {};
    }
    SelectionViewState& state = views_[view];
    if (mode_ == SelectionMode::area) {
        const QPointF p = selection::clampToBounds(local, state.bounds().size());
        changeView(view, [&](SelectionViewState& s) {
            s.dragOrigin = p;
            s.dragPoint = p;
        });
        return {};
    }
    // Window mode picks on the press, against the windows of this moment.
    reloadWindows(global, true);
    updateHover(global, false);
    if (hoveredWindow_) {
        return Command::choose(SelectionPick::ofWindow(*hoveredWindow_, state.display));
    }
    return Command::choose(SelectionPick::ofDisplay(state.display));
}

SelectionMachine::Command SelectionMachine::dragged(int view, QPointF local, bool shift) {
    SelectionViewState& state = views_[view];
    if (mode_ != SelectionMode::area || !state.dragOrigin || isTakingPicture_ || isClosed_) {
        return {};
    }
    const QSizeF size = state.bounds().size();
    QPointF p = selection::clampToBounds(local, size);
    if (shift) {
        p = selection::squareCorner(*state.dragOrigin, p, size);
    }
    changeView(view, [&](SelectionViewState& s) {
        s.dragPoint = p;
        s.pointer = p;
    });
    return {};
}

SelectionMachine::Command SelectionMachine::released(int view) {
    SelectionViewState& state = views_[view];
    if (mode_ != SelectionMode::area || !state.isDragging() || isTakingPicture_ || isClosed_) {
        return {};
    }
    const QRectF rect = state.selection();
    if (rect.width() >= 4 && rect.height() >= 4) {
        return Command::choose(SelectionPick::area(state.display, rect));
    }
    clearDrag(view);
    return {};
}

SelectionMachine::Command SelectionMachine::keyPressed(Key key, QPointF global) {
    switch (key) {
    case Key::space:
        if (isTakingPicture_ || isClosed_) {
            return {};
        }
        mode_ = mode_ == SelectionMode::area ? SelectionMode::window : SelectionMode::area;
        applyMode(global);
        return {};
    case Key::escape:
        return cancelRequested();
    case Key::other:
        return {};
    }
    return {};
}

SelectionMachine::Command SelectionMachine::cancelRequested() const {
    if (isTakingPicture_ || isClosed_) {
        return {};
    }
    return Command::cancel();
}

void SelectionMachine::refreshWindows(QPointF global) {
    if (isTakingPicture_ || isClosed_) {
        return;
    }
    reloadWindows(global, true);
}

SelectionMachine::Command SelectionMachine::displayRemoved(quint32 displayID) const {
    if (viewOf(displayID) < 0 || isClosed_) {
        return {};
    }
    return cancelRequested();
}

void SelectionMachine::startTakingPicture() {
    isTakingPicture_ = true;
}

void SelectionMachine::close() {
    isClosed_ = true;
    for (SelectionViewState& view : views_) {
        view.isClosed = true;
    }
}

int SelectionMachine::viewOf(quint32 displayID) const {
    for (int i = 0; i < viewCount(); ++i) {
        if (views_[i].display.displayID == displayID) {
            return i;
        }
    }
    return -1;
}

bool SelectionMachine::isCrosshairShown(int view) const {
    const SelectionViewState& state = views_.at(view);
    return !state.isClosed && options_.showsCrosshair && mode_ == SelectionMode::area &&
           !state.isDragging() && state.pointer && !isTakingPicture_;
}

bool SelectionMachine::isMagnifierShown(int view) const {
    const SelectionViewState& state = views_.at(view);
    return !state.isClosed && options_.showsMagnifier && mode_ == SelectionMode::area &&
           state.pointer && !isTakingPicture_;
}

std::vector<QRectF> SelectionMachine::occluders(int view) const {
    std::vector<QRectF> result;
    if (!hoveredWindow_) {
        return result;
    }
    for (const auto& frame : desktop::WindowList::windows(*hoveredWindow_, windows_)) {
        result.push_back(desktop::ScreenGeometry::toLocal(views_.at(view).display, QRectF(frame)));
    }
    return result;
}

std::vector<QRectF> SelectionMachine::dirtyRects(int view) const {
    const SelectionViewState& state = views_.at(view);
    const QRectF bounds = state.bounds();
    if (mode_ == SelectionMode::window) {
        return {bounds};
    }
    std::vector<QRectF> rects;
    if (!state.isDragging()) {
        if (isCrosshairShown(view)) {
            for (const QRectF& band :
                 selection::crosshairRects(*state.pointer, bounds, state.display.scale)) {
                rects.push_back(band);
            }
        }
    } else {
        const QRectF selectionRect = state.selection();
        rects.push_back(grown(selectionRect, 3));
        rects.push_back(grown(selection::sizeLabelFrame(selectionRect, bounds.height()), 2));
    }
    if (isMagnifierShown(view) && state.pointer) {
        rects.push_back(grown(selection::magnifierFrame(*state.pointer, bounds.size()), 16));
    }
    if (!options_.hint.isEmpty()) {
        rects.push_back(grown(selection::hintPillFrame(options_.hint, bounds.width()), 2));
    }
    return rects;
}

SelectionMachine::Damage SelectionMachine::takeDamage(int view) {
    return std::exchange(damage_.at(view), Damage{});
}

} // namespace capture
