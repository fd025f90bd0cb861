#include "videoeditor/VideoEditorWindowController.h"

#include "app/AlertPresenter.h"
#include "app/AppPresence.h"
#include "app/MainMenu.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "delivery/SharePicker.h"
#include "desktop/PointerScreen.h"
#include "platform/MainThread.h"
#include "platform/MovieReader.h"
#include "recording/RecordingFiles.h"
#include "videoeditor/TrimBar.h"
#include "videoeditor/VideoEditorView.h"
#include "videoeditor/VideoEditorWindow.h"
#include "videoeditor/VideoPlayer.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMimeData>
#include <QScreen>
#include <QThreadPool>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <cmath>

namespace videoeditor {

namespace {

std::vector<std::shared_ptr<VideoEditorWindowController>>& editors() {
    static std::vector<std::shared_ptr<VideoEditorWindowController>> list;
    return list;
}

constexpr QSize minimumContent{640, 420};

// Runs `work` on the thread pool and hands its result to `done` on the main
// thread. `done` (and what it holds) lives on the main thread only.
template <typename Result>
void onWorker(std::function<Result()> work, std::function<void(const Result&)> done) {
    auto* watcher = new QFutureWatcher<Result>(qApp);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, watcher,
                     [watcher, done = std::move(done)] {
                         done(watcher->result());
                         watcher->deleteLater();
                     });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

} // namespace

VideoEditorWindowController::Services& VideoEditorWindowController::services() {
    static Services current{
        .share = [](const QString& file,
                    QWidget* anchor) { delivery::SharePicker::show(file, anchor); },
        .saveAs =
            [](const app::Recording& recording, QWidget* window,
               std::function<void(std::optional<QString>)> done) {
                recording::saveAs(recording, window, done);
            },
        .recordingsFolder = [] { return recording::recordingsFolder(); },
        .preferences = []() -> app::Preferences& { return app::Preferences::shared(); },
    };
    return current;
}

void VideoEditorWindowController::open(const app::Recording& recording) {
    platform::assertMainThread();
    if (recording.format != app::Recording::Format::video) {
        return; // a GIF has no video editor
    }
    auto controller = std::make_shared<VideoEditorWindowController>(recording);
    editors().push_back(controller);
    app::appWindowDidOpen();
    controller->window_->show();
    app::bringWindowToFront(controller->window_);
}

void VideoEditorWindowController::openFile(const QString& path, const QDateTime& date,
                                           double scale) {
    platform::assertMainThread();
    app::Recording recording;
    recording.url = QUrl::fromLocalFile(path);
    recording.format = app::Recording::Format::video;
    recording.scale = scale > 0 ? scale : 1;
    recording.date = date.isValid() ? date : QDateTime::currentDateTime();
    onWorker<app::Recording>(
        [recording]() mutable {
            if (const std::unique_ptr<platform::MovieReader> reader =
                    platform::MovieReader::open(recording.url.toLocalFile())) {
                recording.duration = reader->duration().value_or(0);
                recording.thumbnail =
                    reader->frameAt(posterTime(recording.duration), QSize(1200, 1200));
            }
            return recording;
        },
        [](const app::Recording& described) { open(described); });
}

std::vector<VideoEditorWindowController*> VideoEditorWindowController::openEditors() {
    std::vector<VideoEditorWindowController*> open;
    for (const auto& editor : editors()) {
        open.push_back(editor.get());
    }
    return open;
}

VideoEditorWindowController::VideoEditorWindowController(app::Recording recording)
    : recording_(std::move(recording)) {
    player_ = new VideoPlayer(recording_.url.toLocalFile());

    window_ = new VideoEditorWindow;
    window_->setOwner(this);
    window_->setWindowTitle(app::recordingFileName(recording_));

    const QPointer<VideoEditorWindowController> weak(this);
    VideoEditorActions actions;
    actions.trim = [weak] {
        if (weak) {
            weak->trim();
        }
    };
    actions.copy = [weak] {
        if (weak) {
            weak->copy();
        }
    };
    actions.save = [weak] {
        if (weak) {
            weak->save();
        }
    };
    actions.share = [weak](QWidget* anchor) {
        if (weak) {
            weak->share(anchor);
        }
    };
    view_ = new VideoEditorView(model_, player_, std::move(actions), window_);
    view_->setMinimumSize(minimumContent);
    window_->layout()->addWidget(view_);
    app::MainMenu::installIn(window_);

    // The first size: from the thumbnail, on the screen under the pointer.
    QRectF visible(0, 0, 1280, 800);
    if (QScreen* screen = desktop::screenUnderPointerOrFirst()) {
        visible = screen->availableGeometry();
    }
    const QRect content =
        firstContentRect(visible, recording_.thumbnail, recording_.scale).toAlignedRect();
    window_->layout()->activate();
    const int menuHeight =
        window_->layout()->menuBar() ? window_->layout()->menuBar()->sizeHint().height() : 0;
    window_->resize(content.width(), content.height() + menuHeight);
    window_->move(content.x(), content.y() - menuHeight);

    TrimBar* trimBar = view_->trimBar();
    connect(trimBar->timeline(), &TrimTimeline::handleMoved, this,
            [this](double seconds) { player_->seek(seconds); });
    connect(trimBar, &TrimBar::trimmed, this, [this](double start, double end) {
        platform::assertMainThread();
        trimStart_ = start;
        trimEnd_ = end;
        view_->showTrimming(false);
        player_->setPlayableRange(start, end);
        updateDurationText();
    });
    connect(trimBar, &TrimBar::cancelled, this, [this] {
        platform::assertMainThread();
        // The range stays as it was before trimming began.
        view_->showTrimming(false);
        const TrimRange range = trimmedRange();
        if (range.isFinite()) {
            player_->setPlayableRange(range.start, range.end());
        }
        updateDurationText();
    });

    connect(player_, &VideoPlayer::opened, this, [this](std::optional<double> duration) {
        if (!duration) {
            movieUnreadable();
            return;
        }
        if (*duration > 0) {
            knownDuration_ = duration;
            model_.setCanTrim(true);
            if (audioChecked_) {
                updateDurationText();
            }
        }
    });

    // The audio check, off the main thread.
    const QString path = recording_.url.toLocalFile();
    onWorker<bool>(
        [path] {
            const std::unique_ptr<platform::MovieReader> reader = platform::MovieReader::open(path);
            return reader && reader->hasAudio();
        },
        [weak](const bool& hasAudio) {
            if (!weak) {
                return;
            }
            weak->audioChecked_ = true;
            weak->model_.setHasAudio(hasAudio);
            weak->updateDurationText();
        });
}

VideoEditorWindowController::~VideoEditorWindowController() {
    abandoned_->store(true);
    if (window_) {
        window_->setOwner(nullptr);
        window_->deleteLater();
    }
}

app::Preferences& VideoEditorWindowController::preferences() const {
    return services().preferences();
}

TrimRange VideoEditorWindowController::trimmedRange() const {
    const double start = trimStart_.value_or(0);
    double end = std::numeric_limits<double>::quiet_NaN();
    if (trimEnd_) {
        end = *trimEnd_;
    } else if (knownDuration_) {
        end = *knownDuration_;
    }
    return TrimRange{start, end - start};
}

void VideoEditorWindowController::movieUnreadable() {
    platform::assertMainThread();
    const QString file = recording_.url.toLocalFile();
    if (!QFileInfo(file).isFile()) {
        // A recording that went away says so when an action needs it.
        return;
    }
    damaged_ = true;
    showError(damagedText());
}

QString VideoEditorWindowController::damagedText() {
    //: Alert when the video editor opens a recording whose movie cannot be played
    return tr("The recording is damaged or incomplete, so it cannot be played or exported.");
}

void VideoEditorWindowController::updateDurationText() {
    model_.setTrimmedText(trimmedText(trimmedRange(), recording_.duration));
}

void VideoEditorWindowController::trim() {
    platform::assertMainThread();
    if (!knownDuration_ || !model_.canTrim() || busy_) {
        return; // the player cannot trim yet
    }
    player_->pause();
    const TrimRange range = trimmedRange();
    // The handles show any picture of the recording while they move.
    player_->setPlayableRange(0, *knownDuration_);
    TrimBar* bar = view_->trimBar();
    bar->timeline()->setRange(*knownDuration_, range.start, range.end());
    view_->showTrimming(true);
    bar->timeline()->setFocus();
}

void VideoEditorWindowController::copy() {
    runAction(Action::copy, nullptr);
}

void VideoEditorWindowController::save() {
    runAction(Action::save, nullptr);
}

void VideoEditorWindowController::saveAs() {
    runAction(Action::saveAs, nullptr);
}

void VideoEditorWindowController::share(QWidget* anchor) {
    runAction(Action::share, anchor);
}

void VideoEditorWindowController::runAction(Action action, QPointer<QWidget> anchor) {
    platform::assertMainThread();
    // Busy from this moment on, before any export is even planned: a second
    // action in quick succession finds the editor busy and does nothing.
    if (busy_ || model_.busyMessage()) {
        return;
    }
    if (damaged_) {
        // Nothing is handed on as if it were a recording: no copy of a
        // broken file, no export that could only fail.
        showError(damagedText());
        return;
    }
    busy_ = true;
    app::Preferences& settings = preferences();
    const ExportPlan plan =
        planExport(trimmedRange(), recording_, model_.format(), model_.removeAudio(),
                   int(settings.gifFPS()), int(settings.gifMaxWidth()));
    if (plan.kind == ExportPlan::Kind::source) {
        // Nothing to make: no busy text. A recording whose file went away
        // has nothing to hand on either.
        const QString file = recording_.url.toLocalFile();
        if (!QFileInfo(file).isFile()) {
            finish(action, exportFailure(app::FileError::noSuchFile(file).description()), anchor);
            return;
        }
        finish(action, recording_, anchor);
        return;
    }
    model_.setBusyMessage(plan.kind == ExportPlan::Kind::gif
                              //: Shown in the video editor while a GIF is made
                              ? tr("Creating GIF…")
                              //: Shown in the video editor while a video is exported
                              : tr("Exporting…"));
    const app::Recording source = recording_;
    const QString folder = services().recordingsFolder();
    const std::shared_ptr<std::atomic<bool>> abandoned = abandoned_;
    std::function<ExportResult()> work = [plan, source, folder, abandoned] {
        return runExport(plan, source, folder, abandoned.get());
    };
    if (action == Action::copy || action == Action::save) {
        // These finish even when the window closed meanwhile.
        std::shared_ptr<VideoEditorWindowController> self = shared_from_this();
        onWorker<ExportResult>(std::move(work), [self, action, anchor](const ExportResult& result) {
            self->finish(action, result, anchor);
        });
    } else {
        const QPointer<VideoEditorWindowController> weak(this);
        onWorker<ExportResult>(std::move(work), [weak, action, anchor](const ExportResult& result) {
            if (weak) {
                weak->finish(action, result, anchor);
            }
        });
    }
}

void VideoEditorWindowController::endAction() {
    busy_ = false;
    model_.setBusyMessage(std::nullopt);
    Q_EMIT actionEnded();
}

void VideoEditorWindowController::showError(const QString& message) {
    if (!window_ || closed_) {
        return; // the window is gone: nothing to show it on
    }
    app::Alert alert;
    alert.message = message;
    alert.critical = true;
    app::AlertPresenter::current().show(alert, window_);
}

void VideoEditorWindowController::closeIfWanted() {
    if (preferences().closeEditorAfterExport() && window_ && !closed_) {
        window_->close();
    }
}

void VideoEditorWindowController::finish(Action action, const ExportResult& result,
                                         QPointer<QWidget> anchor) {
    platform::assertMainThread();
    if (const auto* error = std::get_if<recording::WriterError>(&result)) {
        endAction();
        showError(error->description());
        return;
    }
    const app::Recording& made = std::get<app::Recording>(result);
    const QString file = made.url.toLocalFile();
    switch (action) {
    case Action::copy: {
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(file)});
        QGuiApplication::clipboard()->setMimeData(data);
        closeIfWanted();
        endAction();
        if (!closed_) {
            //: Confirmation after copying, in Quick Access and the editor
            view_->showConfirmation(tr("Copied"));
        }
        return;
    }
    case Action::save: {
        const app::Result<QString> saved = app::SaveLocation::withFolder(
            [&made](const QString& folder) { return recording::saveCopy(made, folder); });
        if (!saved) {
            const bool cancelled = app::SaveLocation::isUserCancellation(saved.error());
            endAction();
            if (!cancelled) {
                showError(saved.error().description());
            }
            return;
        }
        closeIfWanted();
        endAction();
        if (!closed_) {
            //: Confirmation after saving, in Quick Access and the editor
            view_->showConfirmation(tr("Saved"));
        }
        return;
    }
    case Action::saveAs: {
        endAction();
        const QPointer<VideoEditorWindowController> weak(this);
        services().saveAs(made, window_, [weak](std::optional<QString> saved) {
            if (weak) {
                weak->closeAfterExportIfNeeded(saved);
            }
        });
        return;
    }
    case Action::share: {
        endAction();
        services().share(recording::shareCopy(made, services().recordingsFolder()), anchor);
        return;
    }
    }
}

void VideoEditorWindowController::closeAfterExportIfNeeded(const std::optional<QString>& saved) {
    if (saved) {
        closeIfWanted();
    }
}

void VideoEditorWindowController::windowWillClose() {
    platform::assertMainThread();
    if (closed_) {
        return;
    }
    closed_ = true;
    player_->pause();
    std::vector<std::shared_ptr<VideoEditorWindowController>>& list = editors();
    std::shared_ptr<VideoEditorWindowController> kept;
    for (auto it = list.begin(); it != list.end();) {
        if (it->get() == this) {
            kept = std::move(*it);
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    app::appWindowDidClose();
    // Let go of one event-loop turn later: the window is still inside its
    // close event now.
    if (kept) {
        QMetaObject::invokeMethod(
            qApp, [kept = std::move(kept)]() mutable { kept.reset(); }, Qt::QueuedConnection);
    }
}

VideoEditorWindow::VideoEditorWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("videoEditorWindow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

bool VideoEditorWindow::validateCommand(const QByteArray& slotSignature) const {
    Q_UNUSED(slotSignature);
    return owner_ != nullptr;
}

void VideoEditorWindow::saveDocument() {
    if (owner_) {
        owner_->save();
    }
}

void VideoEditorWindow::saveDocumentAs() {
    if (owner_) {
        owner_->saveAs();
    }
}

void VideoEditorWindow::copy() {
    if (owner_) {
        owner_->copy();
    }
}

void VideoEditorWindow::closeEvent(QCloseEvent* event) {
    if (owner_) {
        owner_->windowWillClose();
    }
    event->accept();
}

} // namespace videoeditor
