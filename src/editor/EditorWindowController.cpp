#include "editor/EditorWindowController.h"

#include "annotation/CustomColors.h"
#include "annotation/EditorDocument.h"
#include "app/AlertPresenter.h"
#include "app/AppPresence.h"
#include "app/Bundle.h"
#include "app/FileError.h"
#include "app/FilePanels.h"
#include "app/MainMenu.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "app/WindowFit.h"
#include "delivery/RecentCaptures.h"
#include "delivery/RecentCapturesStrip.h"
#include "desktop/PointerScreen.h"
#include "editor/EditorServices.h"
#include "editor/EditorWindow.h"
#include "editor/canvas/CanvasView.h"
#include "editor/views/ConfirmationBadge.h"
#include "platform/MainThread.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace editor {

namespace {

std::vector<EditorWindowController*>& editors() {
    static std::vector<EditorWindowController*> list;
    return list;
}

EditorServices& services() {
    return EditorServices::current();
}

void call(const std::function<void()>& f) {
    if (f) {
        f();
    }
}

void beep() {
    call(services().beep);
}

delivery::RecentLibrary& recentLibrary() {
    delivery::RecentLibrary* library = services().recentLibrary;
    return library ? *library : delivery::RecentCaptures::shared();
}

bool showsRecent() {
    return app::SaveLocation::preferences().editorShowsRecent();
}

// Deletes the document once every widget that showed it is gone: they keep
// a reference to it until then.
void releaseAfter(std::unique_ptr<annotation::EditorDocument> document,
                  const QList<QPointer<QWidget>>& widgets) {
    if (!document) {
        return;
    }
    annotation::EditorDocument* released = document.release();
    auto remaining = std::make_shared<int>(0);
    for (const QPointer<QWidget>& widget : widgets) {
        if (widget) {
            ++*remaining;
            QObject::connect(widget, &QObject::destroyed, released, [released, remaining] {
                if (--*remaining == 0) {
                    released->deleteLater();
                }
            });
            widget->deleteLater();
        }
    }
    if (*remaining == 0) {
        released->deleteLater();
    }
}

} // namespace

// ---- building ------------------------------------------------------------

QRectF EditorWindowController::initialFrame(QSizeF contentSize, const QRectF& visibleFrame,
                                            bool withRecentStrip) {
    const double strip = withRecentStrip ? 97 : 0;
    const double chrome = strip + 156;
    double width = 860;
    double height = strip + 520;
    const double w = contentSize.width();
    const double h = contentSize.height();
    if (w > 0 && h > 0) {
        // The picture is never enlarged, and the window never smaller than
        // the empty editor.
        const double k = std::min({1.0, (0.82 * visibleFrame.width() - 56) / w,
                                   (0.85 * visibleFrame.height() - chrome) / h});
        width = std::max(860.0, k * w + 56);
        height = std::max(chrome + k * h, strip + 520);
    }
    const QPointF centre = visibleFrame.center();
    return QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height);
}

EditorWindowController::EditorWindowController(std::optional<EditorContent> content) {
    platform::assertMainThread();
    QSizeF contentSize;
    if (content) {
        const double scale = content->capture.scale > 0 ? content->capture.scale : 1;
        contentSize =
            QSizeF(content->capture.image.width() / scale, content->capture.image.height() / scale);
        model_.setDocument(
            std::make_unique<annotation::EditorDocument>(content->capture, content->state));
        model_.setFile(content->file);
    }

    QScreen* screen = desktop::screenUnderPointerOrFirst();
    const QRectF visible = screen ? QRectF(screen->availableGeometry()) : QRectF(0, 0, 1440, 875);
    const QRectF frame = initialFrame(contentSize, visible, showsRecent());

    window_ = new EditorWindow(*this);
    window_->setAttribute(Qt::WA_DeleteOnClose);
    window_->setWindowTitle(app::Bundle::main().appDisplayName() + QStringLiteral("[*]"));
    window_->setMinimumSize(760, 460);
    app::MainMenu::installIn(window_);

    export_ = std::make_unique<EditorExport>(*this, model_.badge());
    actions_ = makeActions();
    buildContent();

    // The frame is the content's; the menu bar and the toolbar come on top
    // of it, as a title bar does. On a screen too small for it (a small
    // display at a large scale) the window, its frame included, is cut to
    // the screen and kept on it, so that its title bar can still be reached.
    int bars = window_->toolBar()->sizeHint().height();
    if (QMenuBar* menu = window_->findChild<QMenuBar*>()) {
        bars += menu->sizeHint().height();
    }
    const QSize size =
        QSize(int(std::lround(frame.width())), int(std::lround(frame.height())) + bars)
            .boundedTo(app::roomOnScreen(window_, screen))
            .expandedTo(window_->minimumSize());
    window_->resize(size);
    window_->move(
        std::max(int(std::lround(frame.center().x() - size.width() / 2.0)), int(visible.left())),
        std::max(int(std::lround(frame.center().y() - size.height() / 2.0)), int(visible.top())));

    connect(window_, &QObject::destroyed, this, [this] {
        if (!closed_) {
            windowWillClose();
        }
        deleteLater();
    });

    call(services().editorOpened);
    call(services().refreshRecent);
    watchDocument();
}

EditorWindowController::~EditorWindowController() {
    platform::assertMainThread();
    if (!closed_) {
        windowWillClose();
    }
    if (window_) {
        window_->disconnect(this);
        // The window's widgets show the model's document: they go first.
        delete window_.data();
    }
    model_.blockSignals(true);
    releaseAfter(model_.setDocument(nullptr), {});
}

const std::vector<EditorWindowController*>& EditorWindowController::openEditors() {
    return editors();
}

QMainWindow* EditorWindowController::window() const {
    return window_;
}

void EditorWindowController::finishTextEditing() {
    // An open text field only loses the keyboard; its text is in the
    // document already.
    if (canvas_ && canvas_->window() == window_) {
        canvas_->setFocus(Qt::OtherFocusReason);
    }
}

EditorActions EditorWindowController::makeActions() {
    const QPointer<EditorWindowController> self(this);
    const auto on = [self](auto action) {
        return [self, action] {
            if (self) {
                action(*self->export_);
            }
        };
    };
    EditorActions actions;
    actions.copy = on([](EditorExport& e) { e.copy(); });
    actions.save = on([](EditorExport& e) { e.save(); });
    actions.saveAs = on([](EditorExport& e) { e.saveAs(); });
    actions.pin = on([](EditorExport& e) { e.pin(); });
    actions.share = [self](QWidget* anchor) {
        if (self) {
            self->export_->share(anchor);
        }
    };
    actions.dragItem = [self]() -> std::unique_ptr<QMimeData> {
        return self ? self->export_->dragData() : std::make_unique<QMimeData>();
    };
    actions.openRecent = [self](const app::RecentFile& file) {
        if (self) {
            self->openRecent(file);
        }
    };
    return actions;
}

CanvasView* EditorWindowController::makeCanvas(annotation::EditorDocument& document) {
    auto* canvas = new CanvasView(document);
    const QPointer<EditorWindowController> self(this);
    canvas->setOnCopyImage([self] {
        if (self) {
            self->export_->copy();
        }
    });
    canvas_ = canvas;
    return canvas;
}

void EditorWindowController::buildContent() {
    app::Preferences& preferences = app::SaveLocation::preferences();
    // The toolbar's groups: the tools in the middle, undo, redo and the
    // panel toggles at the end.
    tools_ = new ToolStripView;
    window_->toolsGroup()->layout()->addWidget(tools_);
    trailing_ = new ToolbarTrailingView(preferences);
    window_->trailingGroup()->layout()->addWidget(trailing_);

    auto* view = new EditorContentView(
        preferences, annotation::CustomColors::shared(),
        [this](annotation::EditorDocument& document) { return makeCanvas(document); }, window_);
    content_ = view;
    window_->setCentralWidget(view);
    view->setBackdropColor(CanvasView::backdropColor(view->palette().color(QPalette::Window)));

    const QPointer<EditorWindowController> self(this);
    connect(view, &EditorContentView::copyRequested, this, [this] { export_->copy(); });
    connect(view, &EditorContentView::saveRequested, this, [this] { export_->save(); });
    connect(view, &EditorContentView::pinRequested, this, [this] { export_->pin(); });
    connect(view, &EditorContentView::shareRequested, this,
            [this](QWidget* anchor) { export_->share(anchor); });
    view->setDragItemProvider(
        [self]() -> QMimeData* { return self ? self->export_->dragData().release() : nullptr; });
    // After the click is over: the panel's choice may replace this content.
    connect(view, &EditorContentView::openImageRequested, this,
            &EditorWindowController::chooseImageToAnnotate, Qt::QueuedConnection);

    // The badge the export shows, over the canvas.
    model_.badge().setAnnouncer(view->confirmationBadge());
    connect(&model_, &EditorWindowModel::confirmationChanged, view, [this] {
        if (const std::optional<EditorConfirmation>& shown = model_.confirmation()) {
            content_->showConfirmation(shown->id, shown->text);
        } else {
            content_->clearConfirmation();
        }
    });

    // The recent captures under the canvas; whether their place shows
    // follows what the listing knows, the ring the file shown here. A chosen
    // file opens after the click is over, as it may replace this content.
    delivery::RecentLibrary& recent = recentLibrary();
    const auto libraryState = [view, &recent] {
        view->setRecentLibraryState(!recent.files().empty(), recent.isAccessible());
    };
    connect(&recent, &delivery::RecentLibrary::filesChanged, view, libraryState);
    connect(&recent, &delivery::RecentLibrary::isAccessibleChanged, view, libraryState);
    libraryState();
    auto* strip =
        new delivery::RecentCapturesStrip(recent, shownPath(), [self](const app::RecentFile& file) {
            if (!self) {
                return;
            }
            QMetaObject::invokeMethod(
                self.data(),
                [self, file] {
                    if (self) {
                        self->openRecent(file);
                    }
                },
                Qt::QueuedConnection);
        });
    view->setRecentStrip(strip);
    connect(&model_, &EditorWindowModel::fileChanged, strip,
            [this, strip] { strip->setCurrentPath(shownPath()); });

    showDocument();
}

// ---- content ---------------------------------------------------------------

std::optional<QString> EditorWindowController::shownPath() const {
    if (const std::optional<EditorFile>& file = model_.file()) {
        return file->path;
    }
    return std::nullopt;
}

void EditorWindowController::showDocument() {
    annotation::EditorDocument* document = model_.document();
    if (tools_) {
        tools_->setDocument(document);
    }
    if (trailing_) {
        trailing_->setDocument(document);
    }
    if (content_) {
        content_->setDocument(document);
    }
    // The tool letters and the arrow keys work at once (from the window's
    // next activation when it is not the active one).
    if (canvas_) {
        canvas_->setFocus(Qt::OtherFocusReason);
    }
}

void EditorWindowController::setDocument(std::unique_ptr<annotation::EditorDocument> document) {
    canvas_ = nullptr;
    std::unique_ptr<annotation::EditorDocument> old = model_.setDocument(std::move(document));
    // The views let go of the old document before it goes, with its history.
    showDocument();
    releaseAfter(std::move(old), {});
    watchDocument();
}

void EditorWindowController::load(EditorContent content) {
    platform::assertMainThread();
    closingConfirmed_ = false;
    setDocument(std::make_unique<annotation::EditorDocument>(std::move(content.capture),
                                                             std::move(content.state)));
    model_.setFile(content.file);
}

void EditorWindowController::loadFile(const QString& path) {
    platform::assertMainThread();
    std::optional<EditorContent> content = EditorContent::fromFile(path, *services().store);
    if (!content) {
        beep();
        return;
    }
    load(std::move(*content));
}

void EditorWindowController::openRecent(const app::RecentFile& file) {
    platform::assertMainThread();
    switch (file.kind) {
    case app::RecentFile::Kind::image: {
        const auto& shown = model_.file();
        if (model_.document() != nullptr && shown &&
            QFileInfo(shown->path).absoluteFilePath() == QFileInfo(file.path).absoluteFilePath()) {
            return; // already open here
        }
        const QPointer<EditorWindowController> self(this);
        const QString path = file.path;
        confirmDiscard([self, path] {
            if (self) {
                self->loadFile(path);
            }
        });
        return;
    }
    case app::RecentFile::Kind::video:
        if (services().openVideo) {
            const double scale = window_ ? window_->devicePixelRatioF() : 2;
            services().openVideo(file, scale);
        } else {
            beep();
        }
        return;
    case app::RecentFile::Kind::gif:
        if (!services().openWithDefaultApp || !services().openWithDefaultApp(file.path)) {
            // Where no program shows GIFs the user learns why nothing opened.
            app::FilePanels::current().showError(window_,
                                                 app::FileError::cannotOpenFile(file.path));
        }
        return;
    }
}

// ---- opening ---------------------------------------------------------------

EditorWindowController* EditorWindowController::open(std::optional<EditorContent> content) {
    platform::assertMainThread();
    auto* controller = new EditorWindowController(std::move(content));
    editors().push_back(controller);
    controller->counted_ = true;
    app::appWindowDidOpen();
    controller->showAndActivate();
    return controller;
}

void EditorWindowController::openContent(EditorContent content) {
    platform::assertMainThread();
    // An empty editor takes it; one that shows anything is never reused.
    for (EditorWindowController* controller : editors()) {
        if (controller->model().document() == nullptr) {
            controller->load(std::move(content));
            controller->showAndActivate();
            return;
        }
    }
    open(std::move(content));
}

void EditorWindowController::open(const QString& imagePath) {
    platform::assertMainThread();
    std::optional<EditorContent> content = EditorContent::fromFile(imagePath, *services().store);
    if (!content) {
        beep();
        return;
    }
    openContent(std::move(*content));
}

void EditorWindowController::chooseImageToAnnotate() {
    platform::assertMainThread();
    if (const std::optional<QString> path = app::FilePanels::current().chooseImageToAnnotate()) {
        open(*path);
    }
}

void EditorWindowController::openLatest() {
    platform::assertMainThread();
    const auto whenListed = [](std::optional<QString> newest) {
        // An editor opened while the folder was listed is the one to show.
        if (EditorWindowController* front = frontmost()) {
            front->showAndActivate();
            return;
        }
        std::optional<EditorContent> content;
        if (newest) {
            content = EditorContent::fromFile(*newest, *services().store);
        }
        open(std::move(content));
    };
    if (services().newestCapture) {
        services().newestCapture(whenListed);
    } else {
        whenListed(std::nullopt);
    }
}

EditorWindowController* EditorWindowController::frontmost() {
    platform::assertMainThread();
    const auto& list = editors();
    if (list.empty()) {
        return nullptr;
    }
    const std::vector<WId> order =
        services().windowOrder ? services().windowOrder() : std::vector<WId>{};
    const auto position = [&order](const EditorWindowController* controller) {
        if (!controller->window_ || !controller->window_->isVisible()) {
            return order.size();
        }
        const WId id = controller->window_->winId();
        return std::size_t(std::find(order.begin(), order.end(), id) - order.begin());
    };
    EditorWindowController* candidate = list.front();
    std::size_t best = position(candidate);
    for (EditorWindowController* controller : list) {
        const std::size_t at = position(controller);
        if (at < best) {
            candidate = controller;
            best = at;
        }
    }
    return candidate;
}

void EditorWindowController::showAndActivate() {
    platform::assertMainThread();
    if (!window_) {
        return;
    }
    if (window_->isMinimized()) {
        window_->showNormal();
    } else {
        window_->show();
    }
    app::bringWindowToFront(window_);
}

// ---- unsaved changes and closing -------------------------------------------

bool EditorWindowController::hasUnsavedChanges() const {
    const annotation::EditorDocument* document = model_.document();
    return !closingConfirmed_ && document != nullptr && document->hasUnsavedChanges();
}

void EditorWindowController::watchDocument() {
    if (annotation::EditorDocument* document = model_.document()) {
        for (auto signal : {&annotation::EditorDocument::stateChanged,
                            &annotation::EditorDocument::exportedStateChanged,
                            &annotation::EditorDocument::undoStackChanged}) {
            connect(document, signal, this, &EditorWindowController::updateEdited);
        }
        // What the Edit menu offers follows the document too.
        for (auto signal : {&annotation::EditorDocument::undoStackChanged,
                            &annotation::EditorDocument::redoStackChanged,
                            &annotation::EditorDocument::selectedIDChanged,
                            &annotation::EditorDocument::editingTextIDChanged}) {
            connect(document, signal, this, &EditorWindowController::validateMenuSoon);
        }
    }
    updateEdited();
    validateMenuSoon();
}

void EditorWindowController::updateEdited() {
    if (window_) {
        window_->setWindowModified(hasUnsavedChanges());
    }
}

void EditorWindowController::validateMenuSoon() {
    if (validatePending_) {
        return;
    }
    validatePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            validatePending_ = false;
            if (app::MainMenu* menu = app::MainMenu::shared()) {
                menu->validate();
            }
        },
        Qt::QueuedConnection);
}

void EditorWindowController::askBeforeLosingChanges(std::function<void()> proceed) {
    platform::assertMainThread();
    if (!hasUnsavedChanges() || !window_) {
        proceed();
        return;
    }
    if (question_) {
        // One question at a time; the one asked already stands.
        question_->raise();
        question_->activateWindow();
        return;
    }
    auto* box = new QMessageBox(window_);
    box->setObjectName(QStringLiteral("closeQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(app::Bundle::main().appDisplayName());
    //: Question before an edited capture is closed or replaced
    box->setText(tr("Close without saving?"));
    box->setInformativeText(tr("Your annotations have not been copied or saved."));
    //: Alert button: save the image, then close the editor
    QPushButton* save = box->addButton(tr("&Save"), QMessageBox::AcceptRole);
    QPushButton* cancel = box->addButton(tr("Cancel"), QMessageBox::RejectRole);
    //: Alert button: close the editor and lose the annotations
    QPushButton* discard = box->addButton(tr("&Don’t Save"), QMessageBox::DestructiveRole);
    box->setDefaultButton(save);
    box->setEscapeButton(cancel);
    app::keepDefaultButtonFocused(box);
    box->setWindowModality(Qt::WindowModal);
    connect(box, &QMessageBox::finished, this,
            [this, box, save, discard, proceed = std::move(proceed)] {
                QAbstractButton* answer = box->clickedButton();
                if (answer == save) {
                    // A failed or cancelled save keeps everything as it was.
                    if (export_->writeImage()) {
                        proceed();
                    }
                } else if (answer == discard) {
                    proceed();
                }
            });
    question_ = box;
    box->open();
}

void EditorWindowController::confirmClose() {
    const QPointer<EditorWindowController> self(this);
    askBeforeLosingChanges([self] {
        if (self) {
            self->closeConfirmed();
        }
    });
}

void EditorWindowController::confirmDiscard(std::function<void()> then) {
    askBeforeLosingChanges(std::move(then));
}

void EditorWindowController::closeConfirmed() {
    platform::assertMainThread();
    closingConfirmed_ = true;
    updateEdited();
    if (window_) {
        window_->close();
    }
}

void EditorWindowController::windowWillClose() {
    if (closed_) {
        return;
    }
    closed_ = true;
    auto& list = editors();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    call(services().editorClosed);
    if (counted_) {
        app::appWindowDidClose();
    }
}

void EditorWindowController::windowDidBecomeKey() {
    call(services().refreshRecent);
}

} // namespace editor
