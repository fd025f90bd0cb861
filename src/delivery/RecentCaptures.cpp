#include "delivery/RecentCaptures.h"

#include "app/Capture.h"
#include "app/PasteboardCopy.h"
#include "app/Preferences.h"
#include "desktop/Scheduler.h"
#include "platform/MainThread.h"
#include "platform/MovieReader.h"
#include "platform/PngThumbnail.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QSocketNotifier>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <unordered_set>

#include <sys/inotify.h>
#include <unistd.h>

namespace delivery {

// An inotify watch on one folder. Changes of its entries report that the
// listing may be out of date; the folder itself deleted, moved away or
// unmounted reports that the watch has ended.
class FolderWatcher {
public:
    using Handler = std::function<void(bool watchEnded)>;

    // None when the folder cannot be watched (it is gone, or the user's
    // inotify watches are used up).
    static std::unique_ptr<FolderWatcher> watch(const QString& folder, Handler handler) {
        const int descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (descriptor < 0) {
            return nullptr;
        }
        constexpr std::uint32_t events = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                         IN_DELETE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                         IN_ONLYDIR;
        if (::inotify_add_watch(descriptor, QFile::encodeName(folder).constData(), events) < 0) {
            ::close(descriptor);
            return nullptr;
        }
        return std::unique_ptr<FolderWatcher>(new FolderWatcher(descriptor, std::move(handler)));
    }

    ~FolderWatcher() {
        // The notifier may be the one reporting right now.
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        ::close(descriptor_);
    }

private:
    FolderWatcher(int descriptor, Handler handler)
        : descriptor_(descriptor)
        , handler_(std::move(handler))
        , notifier_(new QSocketNotifier(descriptor, QSocketNotifier::Read)) {
        QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { drain(); });
    }

    void drain() {
        bool ended = false;
        bool any = false;
        alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
        for (;;) {
            const ssize_t length = ::read(descriptor_, buffer, sizeof buffer);
            if (length <= 0) {
                break;
            }
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                // IN_IGNORED follows the end of the watch, whatever ended it.
                ended = ended || (event->mask &
                                  (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) != 0;
                any = true;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        if (any) {
            // The handler may end this watch, and with it this object.
            const Handler handler = handler_;
            handler(ended);
        }
    }

    int descriptor_;
    Handler handler_;
    QSocketNotifier* notifier_;
};

namespace {

// The tile a thumbnail is made for, in points.
constexpr double tileWidth = 120, tileHeight = 76;

bool isHeic(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("heic"), Qt::CaseInsensitive) == 0;
}

// Whether Qt reads HEIC here: only with an image plugin for it (Debian 12's
// Qt 6 has none), so most systems show such a file by its icon.
bool heicReadable() {
    static const bool readable =
        QImageReader::supportedImageFormats().contains(QByteArrayLiteral("heic"));
    return readable;
}

// A picture that says "image file" where the icon theme has none for it.
void drawGenericPicture(QPainter& p, const QRectF& box, const QColor& ink) {
    p.setPen(QPen(ink, box.width() * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QRectF frame = box.adjusted(box.width() * 0.08, box.height() * 0.18, -box.width() * 0.08,
                                      -box.height() * 0.18);
    p.drawRoundedRect(frame, box.width() * 0.08, box.width() * 0.08);
    QPainterPath hills;
    hills.moveTo(frame.left() + frame.width() * 0.1, frame.bottom() - frame.height() * 0.15);
    hills.lineTo(frame.left() + frame.width() * 0.4, frame.top() + frame.height() * 0.45);
    hills.lineTo(frame.left() + frame.width() * 0.6, frame.top() + frame.height() * 0.65);
    hills.lineTo(frame.left() + frame.width() * 0.72, frame.top() + frame.height() * 0.55);
    hills.lineTo(frame.right() - frame.width() * 0.1, frame.bottom() - frame.height() * 0.15);
    p.drawPath(hills);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(frame.left() + frame.width() * 0.72, frame.top() + frame.height() * 0.3),
                  frame.width() * 0.07, frame.width() * 0.07);
}

// The file's icon from the icon theme (its type's, else the generic image
// one), 48 points square in the middle of a transparent tile. Main thread:
// icons are not for other threads.
QImage fileIconTile(const QString& path, QSize box, double pixelsPerPoint) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(type.genericIconName(),
                                QIcon::fromTheme(QStringLiteral("image-x-generic")));
    }
    QImage tile(box, QImage::Format_ARGB32_Premultiplied);
    tile.fill(Qt::transparent);
    const double side = 48 * pixelsPerPoint;
    const QRectF target((box.width() - side) / 2, (box.height() - side) / 2, side, side);
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    if (!icon.isNull()) {
        icon.paint(&p, target.toRect());
    } else {
        drawGenericPicture(p, target, QGuiApplication::palette().color(QPalette::WindowText));
    }
    return tile;
}

// `size` shrunk to fit `box` with its aspect kept; never enlarged.
QSize fitted(QSize size, QSize box) {
    if (size.width() <= box.width() && size.height() <= box.height()) {
        return size;
    }
    return size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage pictureThumbnail(const QString& path, QSize box) {
    // Most captures are large PNGs: read straight into the small picture.
    if (QFileInfo(path).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0) {
        if (std::optional<QImage> image = platform::readPngFitting(path, box)) {
            return std::move(*image);
        }
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid()) {
        // The scaled size applies before a stored rotation turns the picture.
        const bool turned =
            reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
        reader.setScaledSize(fitted(size, turned ? box.transposed() : box));
    }
    QImage image = reader.read();
    if (!image.isNull() && !size.isValid()) {
        image =
            image.scaled(fitted(image.size(), box), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

QImage makeThumbnail(const app::RecentFile& file, QSize box) {
    if (file.kind == app::RecentFile::Kind::video) {
        const std::unique_ptr<platform::MovieReader> movie = platform::MovieReader::open(file.path);
        return movie ? movie->frameAt(0, box) : QImage();
    }
    if (isHeic(file.path) && !heicReadable()) {
        return {};
    }
    return pictureThumbnail(file.path, box);
}

std::optional<double> readDuration(const QString& path) {
    const std::unique_ptr<platform::MovieReader> movie = platform::MovieReader::open(path);
    if (!movie) {
        return std::nullopt;
    }
    const std::optional<double> seconds = movie->duration();
    if (!seconds || !std::isfinite(*seconds)) {
        return std::nullopt;
    }
    return seconds;
}

} // namespace

std::size_t RecentCaptures::FileHash::operator()(const app::RecentFile& file) const {
    return qHashMulti(0, file.path, file.date.toMSecsSinceEpoch(), int(file.kind));
}

RecentCaptures& RecentCaptures::shared() {
    platform::assertMainThread();
    static RecentCaptures* const instance = new RecentCaptures;
    return *instance;
}

RecentCaptures::RecentCaptures() : RecentCaptures(Services()) {}

RecentCaptures::RecentCaptures(Services services, QObject* parent)
    : RecentLibrary(parent), services_(std::move(services)) {
    if (!services_.scheduler) {
        services_.scheduler = &desktop::mainScheduler();
    }
    if (!services_.list) {
        services_.list = [](const QString& folder, std::size_t limit) {
            return app::listRecentFiles(folder, limit);
        };
    }
    if (!services_.beep) {
        services_.beep = [] { QApplication::beep(); };
    }
    listingPool_.setMaxThreadCount(2);
    picturePool_.setMaxThreadCount(std::max(QThread::idealThreadCount(), 1));
}

RecentCaptures::~RecentCaptures() {
    pendingRefresh_.reset();
    watcher_.reset();
    // Work under way answers to this model; it must end before the model.
    listingPool_.clear();
    picturePool_.clear();
    listingPool_.waitForDone();
    picturePool_.waitForDone();
}

template <typename Result>
void RecentCaptures::inBackground(QThreadPool& pool, std::function<Result()> work,
                                  std::function<void(Result)> then) {
    pool.start([this, work = std::move(work), then = std::move(then)]() mutable {
        Result result = work();
        QMetaObject::invokeMethod(
            this,
            [then = std::move(then), result = std::move(result)]() mutable {
                then(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

// ---- the list ----------------------------------------------------------------

void RecentCaptures::setFiles(std::vector<app::RecentFile> files) {
    if (files == files_) {
        return;
    }
    files_ = std::move(files);
    Q_EMIT filesChanged();
}

void RecentCaptures::setAccessible(bool accessible) {
    if (accessible == isAccessible_) {
        return;
    }
    isAccessible_ = accessible;
    Q_EMIT isAccessibleChanged();
}

std::optional<QString> RecentCaptures::currentFolder() {
    if (access_) {
        // A folder path does not follow a renamed folder; the setting decides.
        const std::optional<app::SaveLocation::Resolved> now = app::SaveLocation::resolvedFolder();
        if (!now || QDir::cleanPath(now->folder) != QDir::cleanPath(access_->url)) {
            stopAccess();
        }
    }
    if (!access_) {
        access_ = app::SaveLocation::beginAccess();
        if (!access_) {
            return std::nullopt;
        }
    }
    if (openEditors_ >= 1 && !watcher_) {
        watchFolder(access_->url);
    }
    return access_->url;
}

void RecentCaptures::stopAccess() {
    stopWatching();
    access_.reset();
}

void RecentCaptures::refresh() {
    platform::assertMainThread();
    pendingRefresh_.reset();
    const std::optional<QString> folder = currentFolder();
    const std::int64_t generation = ++listing_;
    if (!folder) {
        setFiles({});
        setAccessible(true);
        return;
    }
    reload(*folder, generation);
}

void RecentCaptures::reload(const QString& folder, std::int64_t generation) {
    using Listed = std::optional<std::vector<app::RecentFile>>;
    inBackground<Listed>(
        listingPool_, [list = services_.list, folder] { return list(folder, maxFiles); },
        [this, generation](Listed listed) { published(generation, listed); });
}

void RecentCaptures::published(std::int64_t generation,
                               const std::optional<std::vector<app::RecentFile>>& listed) {
    if (generation != listing_) {
        return; // a newer listing is under way
    }
    if (!listed) {
        setFiles({});
        setAccessible(false);
        stopAccess();
        return;
    }
    setFiles(*listed);
    setAccessible(true);
    const std::unordered_set<app::RecentFile, FileHash> kept(listed->begin(), listed->end());
    std::erase_if(thumbnails_, [&](const auto& entry) { return !kept.contains(entry.first); });
    std::erase_if(durations_, [&](const auto& entry) { return !kept.contains(entry.first); });
}

void RecentCaptures::scheduleRefresh() {
    pendingRefresh_ = services_.scheduler->after(std::chrono::milliseconds(debounceMilliseconds),
                                                 [this] { refresh(); });
}

// ---- watching ----------------------------------------------------------------

void RecentCaptures::watchFolder(const QString& folder) {
    watcher_ = FolderWatcher::watch(folder, [this](bool watchEnded) {
        if (!watcher_) {
            return;
        }
        // A folder deleted or moved away is watched again, where the setting
        // points then, by the refresh that follows.
        if (watchEnded) {
            stopWatching();
        }
        scheduleRefresh();
    });
}

void RecentCaptures::stopWatching() {
    watcher_.reset();
}

void RecentCaptures::editorOpened() {
    platform::assertMainThread();
    ++openEditors_;
    Q_EMIT openEditorsChanged();
    // Tests replace the settings store; a new one is observed afresh.
    if (!observesFolderSetting_ || observedPreferences_ != &app::SaveLocation::preferences()) {
        observesFolderSetting_ = true;
        observeFolderSetting();
    }
    refresh();
}

void RecentCaptures::editorClosed() {
    platform::assertMainThread();
    if (openEditors_ > 0) {
        --openEditors_;
        Q_EMIT openEditorsChanged();
    }
    if (openEditors_ > 0) {
        return;
    }
    pendingRefresh_.reset();
    stopWatching();
}

void RecentCaptures::observeFolderSetting() {
    disconnect(folderSettingConnection_);
    app::Preferences& preferences = app::SaveLocation::preferences();
    observedPreferences_ = &preferences;
    folderSettingConnection_ = connect(&preferences, &app::Preferences::saveFolderBookmarkChanged,
                                       this, [this] { folderSettingChanged(); });
}

void RecentCaptures::folderSettingChanged() {
    // After the code that changed the setting has finished its turn.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (openEditors_ >= 1) {
                refresh();
            }
        },
        Qt::QueuedConnection);
}

// ---- asking for files ----------------------------------------------------------

void RecentCaptures::newestCapture(std::function<void(std::optional<QString>)> done) {
    platform::assertMainThread();
    using Found = std::optional<QString>;
    const std::optional<QString> folder = currentFolder();
    if (!folder) {
        QMetaObject::invokeMethod(
            this, [done = std::move(done)] { done(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    inBackground<Found>(
        listingPool_,
        [list = services_.list, folder = *folder]() -> Found {
            const auto files = list(folder, SIZE_MAX);
            if (!files) {
                return std::nullopt;
            }
            for (const app::RecentFile& file : *files) {
                if (file.kind == app::RecentFile::Kind::image) {
                    return file.path;
                }
            }
            return std::nullopt;
        },
        std::move(done));
}

void RecentCaptures::thumbnail(const app::RecentFile& file, double scale, const QObject* context,
                               std::function<void(const QImage&)> done) {
    platform::assertMainThread();
    const QPointer<const QObject> asker(context);
    const auto answer = [asker, done = std::move(done)](const QImage& image) {
        if (asker) {
            done(image);
        }
    };
    if (const auto cached = thumbnails_.find(file); cached != thumbnails_.end()) {
        QMetaObject::invokeMethod(
            this, [answer, image = cached->second] { answer(image); }, Qt::QueuedConnection);
        return;
    }
    const double pixelsPerPoint = scale > 0 ? scale : 1.0;
    const QSize box(int(std::ceil(tileWidth * pixelsPerPoint)),
                    int(std::ceil(tileHeight * pixelsPerPoint)));
    inBackground<QImage>(
        picturePool_,
        [file, box, pixelsPerPoint] {
            QImage image = makeThumbnail(file, box);
            image.setDevicePixelRatio(pixelsPerPoint);
            return image;
        },
        [this, file, answer, box, pixelsPerPoint](QImage image) {
            if (image.isNull() && isHeic(file.path) && !heicReadable() &&
                QFileInfo(file.path).isReadable()) {
                image = fileIconTile(file.path, box, pixelsPerPoint);
                image.setDevicePixelRatio(pixelsPerPoint);
            }
            if (!image.isNull()) {
                thumbnails_[file] = image;
            }
            answer(image);
        });
}

void RecentCaptures::duration(const app::RecentFile& file, const QObject* context,
                              std::function<void(std::optional<double>)> done) {
    platform::assertMainThread();
    using Seconds = std::optional<double>;
    const QPointer<const QObject> asker(context);
    const auto answer = [asker, done = std::move(done)](Seconds seconds) {
        if (asker) {
            done(seconds);
        }
    };
    const auto cached = durations_.find(file);
    if (cached != durations_.end() || file.kind != app::RecentFile::Kind::video) {
        const Seconds known = cached != durations_.end() ? Seconds(cached->second) : std::nullopt;
        QMetaObject::invokeMethod(
            this, [answer, known] { answer(known); }, Qt::QueuedConnection);
        return;
    }
    inBackground<Seconds>(
        picturePool_, [path = file.path] { return readDuration(path); },
        [this, file, answer](Seconds seconds) {
            if (seconds) {
                durations_[file] = *seconds;
            }
            answer(seconds);
        });
}

// ---- acting on files ----------------------------------------------------------

void RecentCaptures::moveToTrash(const app::RecentFile& file) {
    platform::assertMainThread();
    inBackground<bool>(
        listingPool_, [path = file.path] { return QFile::moveToTrash(path); },
        [this](bool trashed) {
            if (!trashed) {
                services_.beep();
            }
            refresh();
        });
}

void RecentCaptures::copy(const app::RecentFile& file) {
    platform::assertMainThread();
    if (file.kind == app::RecentFile::Kind::image) {
        if (const std::optional<app::Capture> capture = app::Capture::fromFile(file.path)) {
            app::copyImageToPasteboard(capture->image, file.path, capture->scale);
            return;
        }
    }
    // The file itself: text/uri-list for most programs, and the form GNOME's
    // and other file managers read to paste a copied file.
    const QUrl url = QUrl::fromLocalFile(file.path);
    auto* data = new QMimeData;
    data->setUrls({url});
    data->setData(QStringLiteral("x-special/gnome-copied-files"),
                  QByteArray("copy\n") + url.toEncoded());
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace delivery
