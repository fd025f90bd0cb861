#pragma once

#include "recording/RecordingFilter.h"
#include "recording/RecordingSessionModel.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

namespace recording {

// One serial queue of updates to a running stream, on the GUI thread: the
// updates run one after another in the order they were asked for, each on
// a later turn of the event loop, and each only when it was not cancelled
// and the stream it was asked for is still the current one. So a late
// update never reaches a recorder that a restart replaced or a stop took.
class StreamUpdateChain : public QObject {
    Q_OBJECT
public:
    // `current` names the stream now (null: none runs).
    explicit StreamUpdateChain(std::function<const void*()> current, QObject* parent = nullptr);

    // Queues `update` for the stream current now; nothing without one.
    // `update` reads what it applies when it runs, not when it was asked.
    void request(std::function<void()> update);
    // Drops every update not yet run.
    void cancel();
    std::size_t pending() const { return queue_.size(); }

private:
    void runNext();

    struct Link {
        const void* target;
        std::function<void()> update;
    };
    std::function<const void*()> current_;
    std::deque<Link> queue_;
    bool scheduled_ = false;
};

// The two chains of a recording session: the content filter and the
// stream's region.
struct StreamTarget {
    // The running recorder, as an identity; null when none runs.
    std::function<const void*()> recorder;
    // The filter of this moment, and applying it (failures are ignored).
    std::function<RecordingFilter()> filter;
    std::function<void(const RecordingFilter&)> updateFilter;
    // The session's region of this moment, and moving the stream to it.
    std::function<QRect()> region;
    std::function<void(const QRect&)> updateRegion;
};

class StreamUpdates : public QObject {
    Q_OBJECT
public:
    explicit StreamUpdates(StreamTarget target, QObject* parent = nullptr);

    // Re-applies the filter current when the update runs.
    void applyFilter();
    // Moves the stream to the region current when the update runs, unless
    // it captures that region already.
    void updateStreamRegion();
    // The recorder has started on `region`.
    void setStreamRegion(const std::optional<QRect>& region) { streamRegion_ = region; }
    std::optional<QRect> streamRegion() const { return streamRegion_; }

    void cancelFilter() { filters_.cancel(); }
    void cancelRegion() { regions_.cancel(); }

    StreamUpdateChain& filterChain() { return filters_; }
    StreamUpdateChain& regionChain() { return regions_; }

private:
    StreamTarget target_;
    StreamUpdateChain filters_;
    StreamUpdateChain regions_;
    std::optional<QRect> streamRegion_;
};

// A followed window's new frame (global points) as the recorded region
// (points of the display whose frame is `display`): the window's part on
// that display, made whole. Nothing when that part is empty, narrower or
// lower than 16 points, or the region it already is.
std::optional<QRect> layoutForRegion(const QRect& windowFrame, const QRectF& display,
                                     const QRect& current);

// What the session does when the recorded window closes, by its phase.
struct ClosedWindow {
    enum class Step { nothing, stop, discard };
    Step step = Step::nothing;
    // The toast's title; empty for none.
    QString toast;
    friend bool operator==(const ClosedWindow&, const ClosedWindow&) = default;
};
ClosedWindow closedWindow(const SessionPhase& phase, bool recorderRunning);

// Re-applies the filter when an application the user hides shows its first
// window during the recording, so the new process is left out as well.
// `launched` is RunningApps::launched or the like.
class HiddenAppLaunches : public QObject {
    Q_OBJECT
public:
    HiddenAppLaunches(RecordingSessionModel* model, std::function<void()> applyFilter,
                      QObject* parent = nullptr);
    // An application showed its first window.
    void launched(const QString& appID);

private:
    QPointer<RecordingSessionModel> model_;
    std::function<void()> applyFilter_;
};

} // namespace recording
