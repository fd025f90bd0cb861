#pragma once

#include "capture/selection/SelectionTypes.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace capture {

// What one display's overlay knows of the gesture: the pointer, the drag and
// whether it has been closed. Points are in the display's own points, origin
// at its top-left corner.
struct SelectionViewState {
    desktop::CaptureDisplay display;
    bool isClosed = false;
    // Empty while the pointer is on another display.
    std::optional<QPointF> pointer;
    std::optional<QPointF> dragOrigin;
    std::optional<QPointF> dragPoint;

    bool isDragging() const { return dragOrigin && dragPoint; }
    // The selection of a drag under way.
    QRectF selection() const;
    QRectF bounds() const;
};

// The input side of a selection, free of windows and timers: it takes pointer,
// button and key events of the per-display overlays and answers with what the
// session must do (nothing, commit a pick, or cancel). Each view's areas that
// need repainting are collected for the overlay to pick up.
class SelectionMachine {
public:
    using WindowSource = std::function<std::vector<desktop::WindowInfo>()>;

    struct Options {
        SelectionMode mode = SelectionMode::area;
        bool showsMagnifier = true;
        bool showsCrosshair = true;
        // Shown near the top of the display under the pointer; none when empty.
        QString hint;
    };

    struct Command {
        enum class Kind { none, choose, cancel };
        Kind kind = Kind::none;
        std::optional<SelectionPick> pick;

        static Command cancel() { return {Kind::cancel, std::nullopt}; }
        static Command choose(SelectionPick pick) { return {Kind::choose, std::move(pick)}; }
    };

    // Areas of one view to repaint.
    struct Damage {
        bool whole = false;
        std::vector<QRectF> rects;
    };

    enum class Key { space, escape, other };

    // `displays` must not be empty; `windows` runs front to back, and
    // `windowSource` reads the list afresh.
    SelectionMachine(std::vector<desktop::CaptureDisplay> displays,
                     std::vector<desktop::WindowInfo> windows, Options options,
                     WindowSource windowSource);

    // The overlay opens with the pointer at `pointer` (global).
    void begin(QPointF pointer);

    Command pointerMoved(QPointF global);
    Command pointerLeft(int view);
    Command pressed(int view, QPointF local, QPointF global);
    Command dragged(int view, QPointF local, bool shift);
    Command released(int view);
    Command keyPressed(Key key, QPointF global);
    // Escape held globally, the Escape key, the window system's cancel and the
    // right button.
    Command cancelRequested() const;
    // The periodic window-list refresh (window mode).
    void refreshWindows(QPointF global);
    // A display went away: the session cannot go on with the layout it froze.
    Command displayRemoved(quint32 displayID) const;

    // Marks the pick as being taken: from now on every input is ignored.
    void startTakingPicture();
    // The overlay is taken down.
    void close();

    SelectionMode mode() const { return mode_; }
    const Options& options() const { return options_; }
    const std::vector<desktop::WindowInfo>& windows() const { return windows_; }
    const std::optional<desktop::WindowInfo>& hoveredWindow() const { return hoveredWindow_; }
    const std::optional<quint32>& hoveredDisplay() const { return hoveredDisplay_; }
    bool isTakingPicture() const { return isTakingPicture_; }
    bool isClosed() const { return isClosed_; }

    int viewCount() const { return static_cast<int>(views_.size()); }
    const SelectionViewState& view(int index) const { return views_.at(index); }
    int viewOf(quint32 displayID) const;

    bool isCrosshairShown(int view) const;
    bool isMagnifierShown(int view) const;
    // The frames (in `view`'s coordinates) of the windows in front of the
    // hovered one that overlap it.
    std::vector<QRectF> occluders(int view) const;
    // The rectangles that the view's changing decorations cover now.
    std::vector<QRectF> dirtyRects(int view) const;
    // What to repaint since the last call, for one view.
    Damage takeDamage(int view);

private:
    template <typename Change> void changeView(int view, Change change);
    void updateHover(QPointF global, bool force);
    void movePointer(int view, QPointF global);
    void applyMode(QPointF global);
    void clearDrag(int view);
    void reloadWindows(QPointF global, bool alwaysHover);

    std::vector<SelectionViewState> views_;
    std::vector<Damage> damage_;
    std::vector<desktop::WindowInfo> windows_;
    Options options_;
    WindowSource windowSource_;
    SelectionMode mode_;
    std::optional<desktop::WindowInfo> hoveredWindow_;
    std::optional<quint32> hoveredDisplay_;
    bool isTakingPicture_ = false;
    bool isClosed_ = false;
};

} // namespace capture
