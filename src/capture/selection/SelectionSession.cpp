#include "capture/selection/SelectionSession.h"

#include "capture/selection/SelectionView.h"
#include "desktop/ScreenGeometry.h"

#include "app/HotKeyCenter.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QTimer>

#include <utility>

namespace capture {

namespace {

std::vector<desktop::CaptureDisplay>
displaysOf(const std::vector<desktop::DisplaySnapshot>& snapshots) {
    std::vector<desktop::CaptureDisplay> displays;
    displays.reserve(snapshots.size());
    for (const desktop::DisplaySnapshot& snapshot : snapshots) {
        displays.push_back(snapshot.display());
    }
    return displays;
}

// Window refresh while window mode is on, so that windows that open, close or
// move are found.
constexpr int windowRefreshMs = 120;

} // namespace

SelectionSession::SelectionSession(std::vector<desktop::DisplaySnapshot> snapshots,
                                   std::vector<desktop::WindowInfo> windows, Options options,
                                   Sources sources, app::HotKeyCenter& hotKeys, QObject* parent)
    : QObject(parent)
    , snapshots_(std::move(snapshots))
    , options_(std::move(options))
    , sources_(std::move(sources))
    , hotKeys_(hotKeys) {
    machine_ = std::make_unique<SelectionMachine>(
        displaysOf(snapshots_), std::move(windows),
        SelectionMachine::Options{options_.mode, options_.showsMagnifier, options_.showsCrosshair,
                                  options_.hint},
        sources_.windows);
    windowRefresh_ = new QTimer(this);
    windowRefresh_->setInterval(windowRefreshMs);
    connect(windowRefresh_, &QTimer::timeout, this, &SelectionSession::refreshWindows);
}

SelectionSession::~SelectionSession() {
    // Dropped by its owner before the outcome: take the overlay down all the same.
    if (!overlays_.empty() || escape_) {
        close();
    }
}

QPoint SelectionSession::pointer() const {
    return sources_.pointer ? sources_.pointer() : QCursor::pos();
}

bool SelectionSession::isWindowRefreshRunning() const {
    return windowRefresh_->isActive();
}

void SelectionSession::begin(Completion completion) {
    completion_ = std::move(completion);
    if (snapshots_.empty()) {
        finish(Outcome::failed(desktop::CaptureError::noDisplays));
        return;
    }
    const QPoint at = pointer();
    for (int i = 0; i < machine_->viewCount(); ++i) {
        auto* view = new SelectionView(this, i, snapshots_[static_cast<std::size_t>(i)]);
        overlays_.emplace_back(view);
        view->show();
    }
    int key = 0;
    for (int i = 0; i < machine_->viewCount(); ++i) {
        if (desktop::ScreenGeometry::frameContains(machine_->view(i).display.frame, at)) {
            key = i;
            break;
        }
    }
    overlays_[static_cast<std::size_t>(key)]->takeKeyboard();

    QPointer<SelectionSession> self(this);
    escape_ = hotKeys_.holdEscape([self] {
        if (self) {
            self->handleEscape();
        }
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &SelectionSession::screenRemoved);

    machine_->begin(at);
    syncViews();
    for (int delay : {50, 350}) {
        QTimer::singleShot(delay, this, &SelectionSession::refreshCursors);
    }
}

void SelectionSession::pointerMoved(QPoint global) {
    if (machine_->isTakingPicture()) {
        return;
    }
    run(machine_->pointerMoved(global));
}

void SelectionSession::pointerLeft(int view) {
    run(machine_->pointerLeft(view));
}

void SelectionSession::pressed(int view, QPointF local, QPoint global) {
    run(machine_->pressed(view, local, global));
}

void SelectionSession::dragged(int view, QPointF local, bool shift) {
    run(machine_->dragged(view, local, shift));
}

void SelectionSession::released(int view) {
    run(machine_->released(view));
}

void SelectionSession::keyPressed(SelectionMachine::Key key) {
    run(machine_->keyPressed(key, pointer()));
}

void SelectionSession::cancel() {
    run(machine_->cancelRequested());
}

void SelectionSession::handleEscape() {
    cancel();
}

void SelectionSession::screenRemoved(QScreen* screen) {
    for (int i = 0; i < machine_->viewCount(); ++i) {
        const desktop::CaptureDisplay& display = machine_->view(i).display;
        if (display.screen == screen) {
            run(machine_->displayRemoved(display.displayID));
            return;
        }
    }
}

void SelectionSession::refreshWindows() {
    machine_->refreshWindows(pointer());
    syncViews();
}

void SelectionSession::run(const SelectionMachine::Command& command) {
    if (machine_->isClosed()) {
        return;
    }
    syncViews();
    switch (command.kind) {
    case SelectionMachine::Command::Kind::none:
        break;
    case SelectionMachine::Command::Kind::choose:
        choose(*command.pick);
        break;
    case SelectionMachine::Command::Kind::cancel:
        if (completion_) {
            close();
            finish(Outcome::cancelled());
        }
        break;
    }
}

void SelectionSession::syncViews() {
    if (machine_->isClosed()) {
        return;
    }
    if (appliedMode_ != machine_->mode()) {
        appliedMode_ = machine_->mode();
        applyMode();
    }
    for (const QPointer<SelectionView>& view : overlays_) {
        if (view) {
            view->sync();
        }
    }
}

void SelectionSession::applyMode() {
    if (machine_->mode() == Mode::window && !machine_->isTakingPicture()) {
        windowRefresh_->start();
    } else {
        windowRefresh_->stop();
    }
}

void SelectionSession::refreshCursors() {
    if (!completion_ || machine_->isTakingPicture()) {
        return;
    }
    for (const QPointer<SelectionView>& view : overlays_) {
        if (view) {
            view->setModeCursor();
        }
    }
}

void SelectionSession::choose(const Pick& pick) {
    if (machine_->isTakingPicture() || !completion_) {
        return;
    }
    machine_->startTakingPicture();
    windowRefresh_->stop();
    for (const QPointer<SelectionView>& view : overlays_) {
        if (view) {
            view->stopAnimations();
        }
    }
    if (!options_.takesPictures) {
        close();
        finish(Outcome::of(pick));
        return;
    }
    // After the event that committed has been handled; the overlay stays
    // frozen meanwhile and input is ignored.
    QTimer::singleShot(0, this, [this, pick] { takePicture(pick); });
}

void SelectionSession::takePicture(const Pick& pick) {
    std::variant<Picture, desktop::CaptureError> picture =
        takeSelectionPicture(pick, snapshots_, sources_.windowPicture);
    close();
    if (auto* taken = std::get_if<Picture>(&picture)) {
        finish(Outcome::of(pick, std::move(*taken)));
    } else {
        finish(Outcome::failed(std::get<desktop::CaptureError>(picture)));
    }
}

void SelectionSession::close() {
    windowRefresh_->stop();
    if (escape_) {
        hotKeys_.releaseEscape(*escape_);
        escape_.reset();
    }
    machine_->close();
    disconnect(qApp, &QGuiApplication::screenRemoved, this, &SelectionSession::screenRemoved);
    for (const QPointer<SelectionView>& view : overlays_) {
        if (view) {
            view->stopAnimations();
            view->hide();
            // Not at once: the overlay may be inside one of its own event handlers.
            view->deleteLater();
        }
    }
    overlays_.clear();
}

void SelectionSession::finish(Outcome outcome) {
    if (!completion_) {
        return;
    }
    Completion completion = std::exchange(completion_, nullptr);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [completion = std::move(completion), outcome = std::move(outcome)] { completion(outcome); },
        Qt::QueuedConnection);
}

} // namespace capture
