#pragma once

#include "capture/selection/SelectionMachine.h"
#include "capture/selection/SelectionPictures.h"
#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureDisplay.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QScreen;
class QTimer;

namespace app {
class HotKeyCenter;
}

namespace capture {

class SelectionView;

// One area, window or display pick: a full-screen overlay on every display at
// once, in which the user drags an area, hovers and clicks a window or a
// display, or cancels. It hands back exactly one Outcome, after its overlay is
// gone, from a call queued on the main thread. Main thread only.
//
// The overlay shows the displays as they were when it opened (the pictures it
// is given, taken before it appeared); areas and displays are cut from those
// pictures, so the overlay is never in them.
class SelectionSession final : public QObject {
    Q_OBJECT

public:
    using Mode = SelectionMode;
    using Pick = SelectionPick;
    using Picture = SelectionPicture;
    using Outcome = SelectionOutcome;
    using Completion = std::function<void(const Outcome&)>;

    struct Options {
        Mode mode = Mode::area;
        bool showsMagnifier = true;
        bool showsCrosshair = true;
        // Whether a pick takes its picture before the outcome is handed back.
        bool takesPictures = true;
        // The instruction shown near the top of the display under the pointer.
        QString hint;
    };

    // Where the session reads what it does not own.
    struct Sources {
        // The on-screen windows, front to back.
        std::function<std::vector<desktop::WindowInfo>()> windows;
        WindowPictureSource windowPicture;
        // The pointer in global points.
        std::function<QPoint()> pointer;
    };

    // `snapshots` holds one picture per display, in display order; `windows`
    // the windows when the selection was asked for.
    SelectionSession(std::vector<desktop::DisplaySnapshot> snapshots,
                     std::vector<desktop::WindowInfo> windows, Options options, Sources sources,
                     app::HotKeyCenter& hotKeys, QObject* parent = nullptr);
    ~SelectionSession() override;

    // Opens the overlay; `completion` receives the outcome.
    void begin(Completion completion);

    const SelectionMachine& machine() const { return *machine_; }
    // What one overlay must repaint since it last asked.
    SelectionMachine::Damage takeDamage(int view) { return machine_->takeDamage(view); }
    // The overlay windows, one per display; empty once closed.
    const std::vector<QPointer<SelectionView>>& overlays() const { return overlays_; }
    bool isWindowRefreshRunning() const;

    // What the overlays report (SelectionView calls these).
    void pointerMoved(QPoint global);
    void pointerLeft(int view);
    void pressed(int view, QPointF local, QPoint global);
    void dragged(int view, QPointF local, bool shift);
    void released(int view);
    void keyPressed(SelectionMachine::Key key);
    void cancel();

    // Escape, held globally while the overlay is open.
    void handleEscape();
    // A display went away while the overlay was open.
    void screenRemoved(QScreen* screen);
    // The periodic window-list refresh.
    void refreshWindows();

private:
    void run(const SelectionMachine::Command& command);
    void choose(const Pick& pick);
    void takePicture(const Pick& pick);
    void applyMode();
    void syncViews();
    void refreshCursors();
    void close();
    void finish(Outcome outcome);
    QPoint pointer() const;

    std::vector<desktop::DisplaySnapshot> snapshots_;
    Options options_;
    Sources sources_;
    app::HotKeyCenter& hotKeys_;
    std::unique_ptr<SelectionMachine> machine_;
    std::vector<QPointer<SelectionView>> overlays_;
    Completion completion_;
    std::optional<int> escape_;
    QTimer* windowRefresh_ = nullptr;
    std::optional<Mode> appliedMode_;
};

} // namespace capture
