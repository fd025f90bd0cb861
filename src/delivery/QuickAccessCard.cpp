#include "delivery/QuickAccessCard.h"

#include "app/CaptureFileName.h"
#include "app/FilePanels.h"
#include "app/ImageEncoding.h"
#include "app/ImageFiles.h"
#include "app/PasteboardCopy.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "app/SavePanel.h"
#include "app/Workspace.h"
#include "delivery/QuickAccessCardView.h"
#include "delivery/QuickAccessCardWindow.h"
#include "delivery/QuickAccessManager.h"
#include "delivery/QuickAccessStack.h"
#include "delivery/QuickAccessThumbnail.h"
#include "recording/RecordingFiles.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEasingCurve>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QUrl>

namespace delivery {

namespace {

QString copiedText() {
    //: Confirmation after copying, in Quick Access and the editor
    return QCoreApplication::translate("QuickAccess", "Copied");
}
QString savedText() {
    //: Confirmation after saving, in Quick Access and the editor
    return QCoreApplication::translate("QuickAccess", "Saved");
}
QString annotateHelp() {
    //: Quick Access button: open the screenshot in the editor
    return QCoreApplication::translate("QuickAccess", "Annotate");
}
QString pinHelp() {
    return QCoreApplication::translate("QuickAccess", "Pin to Screen");
}
QString editVideoHelp() {
    return QCoreApplication::translate("QuickAccess", "Edit Video");
}
QString playHelp() {
    //: Quick Access button: play the recording
    return QCoreApplication::translate("QuickAccess", "Play");
}

QEasingCurve bezier(QPointF first, QPointF second) {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(first, second, QPointF(1, 1));
    return curve;
}

const QEasingCurve& easing(int which) {
    static const QEasingCurve appear = bezier({0.16, 1.0}, {0.3, 1.0});
    static const QEasingCurve easeOut = bezier({0.0, 0.0}, {0.58, 1.0});
    static const QEasingCurve dismiss = bezier({0.5, 0.0}, {0.75, 0.0});
    switch (which) {
    case 0:
        return appear;
    case 1:
        return easeOut;
    default:
        return dismiss;
    }
}

// A file for other programs: its URL, and the name it would like to be
// given where it is dropped.
std::unique_ptr<QMimeData> fileData(const QString& file, const QString& suggestedName) {
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile(file)});
    data->setData(QStringLiteral("application/x-kde-suggestedfilename"), suggestedName.toUtf8());
    return data;
}

QString recordingName(const app::Recording& recording) {
    return app::recordingFileName(recording);
}

// A save that did not happen is said, unless the user cancelled it.
void reportUnlessCancelled(const app::FileError& error) {
    if (!app::SaveLocation::isUserCancellation(error)) {
        app::FilePanels::current().showError(nullptr, error);
    }
}

struct Thumbnail {
    QImage image;
    QSizeF points;
};

Thumbnail screenshotThumbnail(const app::Capture& capture) {
    QImage image = capture.image;
    if (const std::optional<QRect> crop = thumbnailCropRect(image)) {
        const QImage cropped = image.copy(*crop);
        if (!cropped.isNull()) {
            image = cropped;
        }
    }
    const double scale = capture.scale > 0 ? capture.scale : 1.0;
    return {image, QSizeF(image.size()) / scale};
}

Thumbnail recordingThumbnail(const app::Recording& recording) {
    if (recording.thumbnail.isNull()) {
        return {QImage(), QSizeF(220, 140)};
    }
    const double scale = recording.scale > 0 ? recording.scale : 1.0;
    return {recording.thumbnail, QSizeF(recording.thumbnail.size()) / scale};
}

} // namespace

QuickAccessCard::QuickAccessCard(app::QuickAccessItem item, QuickAccessManager* manager)
    : QObject(manager)
    , item_(std::move(item))
    , manager_(manager)
    , scheduler_(manager->services().scheduler)
    , preferences_(&manager->preferences())
    , share_(manager->services().share) {
    Thumbnail thumbnail;
    std::optional<QuickAccessCardView::Badge> badge;
    if (const auto* capture = std::get_if<app::Capture>(&item_)) {
        thumbnail = screenshotThumbnail(*capture);
        actions_ = makeScreenshotActions(*capture);
    } else {
        const auto& recording = std::get<app::Recording>(item_);
        thumbnail = recordingThumbnail(recording);
        badge = recording.format == app::Recording::Format::gif
                    ? QuickAccessCardView::Badge{QuickAccessCardView::Badge::Kind::gif, {}}
                    : QuickAccessCardView::Badge{QuickAccessCardView::Badge::Kind::video,
                                                 app::durationText(recording.duration)};
        actions_ = makeRecordingActions(recording);
    }
    const desktop::PanelSurface::Kind kind = manager->services().surfaceKind
                                                 ? manager->services().surfaceKind()
                                                 : desktop::PanelSurface::kindNow();
    auto* view =
        new QuickAccessCardView(thumbnail.image, thumbnailSize(thumbnail.points), badge, &model_,
                                actions_, kind == desktop::PanelSurface::Kind::translucent);
    window_ = std::make_unique<QuickAccessCardWindow>(view, kind);
    connect(window_.get(), &QuickAccessCardWindow::hoverChanged, this,
            &QuickAccessCard::setPointerInside);
}

QuickAccessCard::~QuickAccessCard() {
    autoClose_.reset();
    noteDismissal_.reset();
}

QuickAccessCardView* QuickAccessCard::view() const {
    return window_->view();
}

void QuickAccessCard::scheduleAutoClose() {
    autoClose_.reset();
    if (!preferences_->quickAccessAutoClose()) {
        return;
    }
    const std::chrono::seconds after(preferences_->quickAccessCloseAfter());
    QPointer<QuickAccessCard> self(this);
    autoClose_ = scheduler_->after(after, [self] {
        if (self) {
            self->dismissAnimated();
        }
    });
}

void QuickAccessCard::stopAutoClose() {
    autoClose_.reset();
}

void QuickAccessCard::dismissAnimated() {
    if (manager_) {
        manager_->dismiss(this, true);
    }
}

void QuickAccessCard::showNote(const QString& text) {
    model_.setNote(text);
    QPointer<QuickAccessCard> self(this);
    noteDismissal_ = scheduler_->after(noteShownFor, [self] {
        if (self) {
            self->dismissAnimated();
        }
    });
}

void QuickAccessCard::setPointerInside(bool inside) {
    model_.setHovering(inside);
    if (inSaveAs_) {
        // The panel's end restarts the timer; nothing to do until then.
        return;
    }
    if (inside) {
        stopAutoClose();
    } else {
        scheduleAutoClose();
    }
}

void QuickAccessCard::beginSaveAs() {
    stopAutoClose();
    inSaveAs_ = true;
}

void QuickAccessCard::saveAsFinished(const std::optional<QString>& path) {
    inSaveAs_ = false;
    if (path) {
        dismissAnimated();
    } else {
        scheduleAutoClose();
    }
}

std::optional<QString> QuickAccessCard::dragFile(const app::Capture& capture) {
    if (!dragFile_) {
        dragFile_ = app::writeDragFile(capture.image, capture.date, capture.scale);
    }
    return dragFile_;
}

QuickAccessActions QuickAccessCard::makeScreenshotActions(const app::Capture& capture) {
    QPointer<QuickAccessCard> self(this);
    QPointer<QuickAccessManager> manager(manager_);
    app::Preferences* preferences = preferences_;
    QuickAccessActions actions;
    actions.copy = [self, capture] {
        app::copyImageToPasteboard(capture.image, std::nullopt, capture.scale);
        if (self) {
            self->showNote(copiedText());
        }
    };
    actions.save = [self, capture, preferences] {
        const app::ImageFormat format = preferences->imageFormat();
        const std::optional<QByteArray> bytes =
            app::encodeImage(capture.image, format, capture.scale);
        const app::Result<QString> written =
            bytes ? app::SaveLocation::withFolder([&](const QString& folder) {
                return app::writeUniqueFile(*bytes, folder, capture.date, format);
            })
                  : app::Result<QString>(app::FileError::encodingFailed());
        if (!written) {
            reportUnlessCancelled(written.error());
            return;
        }
        if (self) {
            self->showNote(savedText());
        }
    };
    actions.saveAs = [self, capture] {
        if (self) {
            self->beginSaveAs();
        }
        app::saveQuickAccessImageWithPanel(capture.image, capture.date, nullptr,
                                           QPointer<QObject>(self.data()), capture.scale,
                                           [self](std::optional<QString> path) {
                                               if (self) {
                                                   self->saveAsFinished(path);
                                               }
                                           });
    };
    actions.edit = CornerAction{QStringLiteral("pencil"), annotateHelp(), [self, manager, capture] {
                                    if (!self || !manager) {
                                        return;
                                    }
                                    manager->dismiss(self, true);
                                    if (manager->onEdit) {
                                        manager->onEdit(capture);
                                    }
                                }};
    actions.secondary =
        CornerAction{QStringLiteral("pin.fill"), pinHelp(), [self, manager, capture] {
                         if (!self || !manager) {
                             return;
                         }
                         manager->dismiss(self, true);
                         if (manager->onPin) {
                             manager->onPin(capture);
                         }
                     }};
    actions.share = [self, capture](QWidget* anchor) {
        if (!self) {
            return;
        }
        if (const std::optional<QString> file = self->dragFile(capture); file && self->share_) {
            self->share_(*file, anchor);
        }
    };
    actions.close = [self] {
        if (self) {
            self->dismissAnimated();
        }
    };
    actions.dragItem = [self, capture]() -> std::unique_ptr<QMimeData> {
        if (!self) {
            return std::make_unique<QMimeData>();
        }
        const std::optional<QString> file = self->dragFile(capture);
        if (!file) {
            return std::make_unique<QMimeData>();
        }
        return fileData(*file, QFileInfo(*file).completeBaseName());
    };
    return actions;
}

QuickAccessActions QuickAccessCard::makeRecordingActions(const app::Recording& recording) {
    QPointer<QuickAccessCard> self(this);
    QPointer<QuickAccessManager> manager(manager_);
    QuickAccessActions actions;
    actions.copy = [self, recording] {
        auto data = std::make_unique<QMimeData>();
        data->setUrls({recording.url});
        // File managers paste this as the file itself.
        data->setData(QStringLiteral("x-special/gnome-copied-files"),
                      "copy\n" + recording.url.toEncoded());
        QGuiApplication::clipboard()->setMimeData(data.release());
        if (self) {
            self->showNote(copiedText());
        }
    };
    actions.save = [self, recording] {
        const app::Result<QString> saved = app::SaveLocation::withFolder(
            [&](const QString& folder) { return recording::saveCopy(recording, folder); });
        if (!saved) {
            reportUnlessCancelled(saved.error());
            return;
        }
        if (self) {
            self->showNote(savedText());
        }
    };
    actions.saveAs = [self, recording] {
        if (self) {
            self->beginSaveAs();
        }
        recording::saveAs(recording, nullptr, [self](std::optional<QString> path) {
            if (self) {
                self->saveAsFinished(path);
            }
        });
    };
    if (recording.format == app::Recording::Format::video) {
        actions.edit =
            CornerAction{QStringLiteral("scissors"), editVideoHelp(), [self, manager, recording] {
                             if (!self || !manager) {
                                 return;
                             }
                             manager->dismiss(self, true);
                             if (manager->onEditRecording) {
                                 manager->onEditRecording(recording);
                             }
                         }};
    }
    actions.secondary = CornerAction{QStringLiteral("play.fill"), playHelp(), [recording] {
                                         // The card stays, its timer running.
                                         app::Workspace::openFile(recording.url.toLocalFile());
                                     }};
    actions.share = [share = share_, recording](QWidget* anchor) {
        if (share) {
            share(recording::shareCopy(recording), anchor);
        }
    };
    actions.close = [self] {
        if (self) {
            self->dismissAnimated();
        }
    };
    actions.dragItem = [recording]() -> std::unique_ptr<QMimeData> {
        return fileData(recording.url.toLocalFile(), recordingName(recording));
    };
    return actions;
}

QPropertyAnimation* QuickAccessCard::runAnimation(const QByteArray& property, const QVariant& to,
                                                  std::chrono::milliseconds duration, Curve curve) {
    auto* animation = new QPropertyAnimation(window_.get(), property, window_.get());
    animation->setDuration(static_cast<int>(duration.count()));
    animation->setEndValue(to);
    animation->setEasingCurve(easing(static_cast<int>(curve)));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

QVariantAnimation* QuickAccessCard::runSlide(const QPoint& to, std::chrono::milliseconds duration,
                                             Curve curve) {
    QuickAccessCardWindow* window = window_.get();
    auto* animation = new QVariantAnimation(window);
    animation->setDuration(static_cast<int>(duration.count()));
    animation->setStartValue(window->shownAt());
    animation->setEndValue(to);
    animation->setEasingCurve(easing(static_cast<int>(curve)));
    connect(animation, &QVariantAnimation::valueChanged, window,
            [window](const QVariant& at) { window->slideFrame(at.toPoint()); });
    connect(animation, &QVariantAnimation::finished, window, [window, to] { window->settle(to); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

void QuickAccessCard::appear(const QPoint& from, const QPoint& to, bool animate) {
    target_ = to;
    if (!animate) {
        window_->move(to);
        window_->show();
        return;
    }
    window_->move(from);
    const bool fades = window_->surface().isTranslucent();
    if (fades) {
        window_->setWindowOpacity(0);
    }
    window_->show();
    slide_ = runSlide(to, QuickAccessManager::appearDuration, Curve::appear);
    if (fades) {
        fade_ =
            runAnimation("windowOpacity", 1.0, QuickAccessManager::appearDuration, Curve::appear);
    }
}

void QuickAccessCard::slideTo(const QPoint& to, bool animate) {
    if (leaving_ || (to == target_ && (slide_ || window_->shownAt() == to))) {
        return;
    }
    target_ = to;
    if (slide_) {
        slide_->stop();
    }
    if (!animate) {
        window_->settle(to);
        return;
    }
    slide_ = runSlide(to, QuickAccessManager::restackDuration, Curve::restack);
}

void QuickAccessCard::slideOut(app::ScreenCorner corner, bool animate) {
    if (leaving_) {
        return;
    }
    leaving_ = true;
    stopAutoClose();
    noteDismissal_.reset();
    if (slide_) {
        slide_->stop();
    }
    if (fade_) {
        fade_->stop();
    }
    if (!animate) {
        window_->hide();
        release();
        return;
    }
    const QPoint to = QuickAccessStack::offstage(window_->shownAt(), window_->width(), corner);
    QVariantAnimation* out = runSlide(to, QuickAccessManager::dismissDuration, Curve::dismiss);
    if (window_->surface().isTranslucent()) {
        runAnimation("windowOpacity", 0.0, QuickAccessManager::dismissDuration, Curve::dismiss);
    }
    connect(out, &QVariantAnimation::finished, this, [this] {
        window_->hide();
        release();
    });
}

void QuickAccessCard::release() {
    // A modal panel or a drag started from the view runs its own event loop
    // inside the view's handler; the card goes once that has returned.
    if (view()->isBusy()) {
        connect(view(), &QuickAccessCardView::becameIdle, this, &QObject::deleteLater,
                Qt::QueuedConnection);
        return;
    }
    deleteLater();
}

} // namespace delivery
