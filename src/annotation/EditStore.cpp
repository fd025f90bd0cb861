#include "annotation/EditStore.h"

#include "app/ContentKey.h"
#include "app/ImageEncoding.h"
#include "platform/MainThread.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace annotation {

using json::DecodeError;
using json::Decoder;
using json::PathScope;

namespace {

const QString kEditFile = QStringLiteral("edit.json");
const QString kOriginalFile = QStringLiteral("original");

// 2001-01-01 00:00:00 UTC in milliseconds since the Unix epoch.
constexpr qint64 kReferenceEpochMs = 978'307'200'000;
// ±3000 years: beyond any real date, within what QDateTime holds exactly.
constexpr double kDateLimitSeconds = 9.5e10;

// The program's one PNG encoder, so that an original kept here is the same
// file a save of the unedited capture would have written.
std::optional<QByteArray> defaultPng(const QImage& image, double scale) {
    return app::encodeImage(image, app::ImageFormat::png, scale);
}

bool writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Opens `path` for reading when it is a regular file of at most `limit`
// bytes: no final symlink is followed, and O_NONBLOCK keeps a FIFO from
// holding the thread in open(). -1 for anything else.
int openRegularFile(const QString& path, qint64 limit) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > limit) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads `fd` to its end in pieces, handing each to `take`; false on a read
// error or once more than `limit` bytes came (the file grew since fstat).
template <typename Take> bool readPieces(int fd, qint64 limit, Take take) {
    constexpr qsizetype kPiece = 1 << 20;
    QByteArray piece(kPiece, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, piece.data(), kPiece);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            return true;
        }
        total += got;
        if (total > limit) {
            return false;
        }
        take(QByteArrayView(piece.constData(), got));
    }
}

void removeEntry(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        QDir(path).removeRecursively();
    } else {
        QFile::remove(path);
    }
}

// The date members of a record.
std::optional<QDateTime> decodeDate(Decoder& d, const QJsonValue& value) {
    const std::optional<double> seconds = d.number(value);
    if (!seconds) {
        return std::nullopt;
    }
    return EditStore::dateFromReferenceSeconds(*seconds);
}

} // namespace

std::optional<EditStore::Stamp> EditStore::decodeStamp(const QByteArray& bytes) {
    Decoder d;
    const std::optional<QJsonValue> value = json::parse(bytes, d);
    const std::optional<QJsonObject> object = value ? d.object(*value) : std::nullopt;
    if (!object) {
        return std::nullopt;
    }
    const std::optional<QJsonValue> path = d.member(*object, QStringLiteral("path"));
    const std::optional<QString> pathText = path ? d.string(*path) : std::nullopt;
    const std::optional<QJsonValue> saved =
        pathText ? d.member(*object, QStringLiteral("saved")) : std::nullopt;
    const std::optional<QDateTime> savedDate = saved ? decodeDate(d, *saved) : std::nullopt;
    if (!savedDate) {
        return std::nullopt;
    }
    return Stamp{*pathText, *savedDate};
}

std::optional<QByteArray> EditStore::readRegularFile(const QString& path, qint64 limit) {
    const int fd = openRegularFile(path, limit);
    if (fd < 0) {
        return std::nullopt;
    }
    QByteArray bytes;
    const bool read = readPieces(fd, limit, [&bytes](QByteArrayView piece) { bytes += piece; });
    ::close(fd);
    return read ? std::optional(std::move(bytes)) : std::nullopt;
}

std::optional<QString> EditStore::contentKeyOfRegularFile(const QString& path, qint64 limit) {
    const int fd = openRegularFile(path, limit);
    if (fd < 0) {
        return std::nullopt;
    }
    platform::Sha256 hasher;
    const bool read = readPieces(
        fd, limit, [&hasher](QByteArrayView piece) { app::sha256UpdateWithData(hasher, piece); });
    ::close(fd);
    return read ? std::optional(app::hexString(hasher.finish())) : std::nullopt;
}

EditStore::EditStore(QString folder, PngEncoder encoder)
    : folder_(std::move(folder)), encoder_(encoder ? std::move(encoder) : PngEncoder(defaultPng)) {}

QString EditStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Vexlin/Edits");
}

EditStore& EditStore::shared() {
    static EditStore store(defaultFolder());
    return store;
}

QString EditStore::recordFolder(const QString& key) const {
    return folder_ + QLatin1Char('/') + key;
}

double EditStore::referenceSeconds(const QDateTime& date) {
    return static_cast<double>(date.toMSecsSinceEpoch() - kReferenceEpochMs) / 1000.0;
}

QDateTime EditStore::dateFromReferenceSeconds(double seconds) {
    const double bounded = std::clamp(seconds, -kDateLimitSeconds, kDateLimitSeconds);
    return QDateTime::fromMSecsSinceEpoch(
        kReferenceEpochMs + static_cast<qint64>(std::llround(bounded * 1000)), Qt::UTC);
}

// ---- record form ----------------------------------------------------------

std::optional<QByteArray> EditStore::encodeRecord(const Record& record) {
    json::Writer w;
    w.beginObject();
    w.key("version");
    w.integer(record.version);
    w.key("scale");
    w.number(record.scale);
    w.key("captured");
    w.number(referenceSeconds(record.captured));
    w.key("state");
    encodeEditorState(w, record.state);
    w.key("path");
    w.string(record.path);
    w.key("saved");
    w.number(referenceSeconds(record.saved));
    w.endObject();
    return w.result();
}

std::optional<EditStore::Record> EditStore::decodeRecord(const QByteArray& bytes,
                                                         DecodeError* error) {
    Decoder d;
    Record record;
    bool ok = false;
    if (const std::optional<QJsonValue> value = json::parse(bytes, d)) {
        if (const std::optional<QJsonObject> object = d.object(*value)) {
            auto member = [&](const char* key, auto read) {
                const QString k = QString::fromLatin1(key);
                const std::optional<QJsonValue> v = d.member(*object, k);
                if (!v) {
                    return false;
                }
                PathScope scope(d, k);
                return read(*v);
            };
            ok = member("version",
                        [&](const QJsonValue& v) {
                            const auto version = d.integer(v);
                            record.version = version.value_or(0);
                            return version.has_value();
                        }) &&
                 member("scale",
                        [&](const QJsonValue& v) {
                            const auto scale = d.number(v);
                            record.scale = scale.value_or(1);
                            return scale.has_value();
                        }) &&
                 member("captured",
                        [&](const QJsonValue& v) {
                            const auto date = decodeDate(d, v);
                            record.captured = date.value_or(QDateTime());
                            return date.has_value();
                        }) &&
                 member("state",
                        [&](const QJsonValue& v) {
                            auto state = decodeEditorState(d, v);
                            if (state) {
                                record.state = std::move(*state);
                            }
                            return state.has_value();
                        }) &&
                 member("path",
                        [&](const QJsonValue& v) {
                            const auto path = d.string(v);
                            record.path = path.value_or(QString());
                            return path.has_value();
                        }) &&
                 member("saved", [&](const QJsonValue& v) {
                     const auto date = decodeDate(d, v);
                     record.saved = date.value_or(QDateTime());
                     return date.has_value();
                 });
        }
    }
    if (!ok) {
        if (error && d.error()) {
            *error = *d.error();
        }
        return std::nullopt;
    }
    return record;
}

// ---- operations -----------------------------------------------------------

std::optional<EditStore::Edit> EditStore::load(const QString& key) const {
    platform::assertMainThread();
    const QString folder = recordFolder(key);
    const std::optional<QByteArray> json =
        readRegularFile(folder + QLatin1Char('/') + kEditFile, maxRecordBytes);
    if (!json) {
        return std::nullopt;
    }
    std::optional<Record> record = decodeRecord(*json);
    if (!record || record->version > 1) {
        return std::nullopt;
    }
    std::optional<QByteArray> originalBytes =
        readRegularFile(folder + QLatin1Char('/') + kOriginalFile, maxImageBytes);
    if (!originalBytes) {
        return std::nullopt;
    }
    QBuffer buffer(&*originalBytes);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QImage image = reader.read();
    if (image.isNull()) {
        return std::nullopt;
    }
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = image;
    capture.scale = std::clamp(record->scale, 1.0, maxScale);
    capture.date = record->captured;
    return Edit{std::move(capture), std::move(record->state)};
}

void EditStore::save(const Save& request) const {
    platform::assertMainThread();
    const QString key = app::contentKey(request.fileData);
    const QString target = recordFolder(key);
    std::optional<QString> previous;
    if (request.previousKey && *request.previousKey != key && !request.previousKey->isEmpty()) {
        previous = recordFolder(*request.previousKey);
    }
    if (request.state.isDefault()) {
        if (previous && QFileInfo(*previous).isDir()) {
            QDir(*previous).removeRecursively();
        }
        return;
    }
    if (!QDir().mkpath(folder_)) {
        return;
    }
    const QString targetOriginal = target + QLatin1Char('/') + kOriginalFile;
    if (previous && QFileInfo::exists(*previous + QLatin1Char('/') + kOriginalFile)) {
        // The record follows the document to its new content key and keeps
        // its first original.
        if (QFileInfo::exists(target)) {
            QDir(target).removeRecursively();
        }
        if (!QDir().rename(*previous, target)) {
            return;
        }
    } else if (!QFileInfo::exists(targetOriginal)) {
        std::optional<QByteArray> original = request.originalData;
        if (!original) {
            original = encoder_(request.capture.image, request.capture.scale);
        }
        if (!original || !QDir().mkpath(target) || !writeAtomically(targetOriginal, *original)) {
            return;
        }
    }
    Record record;
    record.scale = request.capture.scale;
    record.captured = request.capture.date;
    record.state = request.state;
    record.path = request.filePath;
    record.saved = request.time;
    const std::optional<QByteArray> json = encodeRecord(record);
    if (!json) {
        return;
    }
    writeAtomically(target + QLatin1Char('/') + kEditFile, *json);
}

void EditStore::removeAll() const {
    platform::assertMainThread();
    QDir(folder_).removeRecursively();
}

void EditStore::prune(const QDateTime& now) const {
    QDir store(folder_);
    if (!store.exists()) {
        return;
    }
    const QFileInfoList entries =
        store.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        // Only a real folder holds a record; a symlink is judged by its age.
        const std::optional<QByteArray> json =
            entry.isDir() && !entry.isSymLink()
                ? readRegularFile(folder_ + QLatin1Char('/') + name + QLatin1Char('/') + kEditFile,
                                  maxRecordBytes)
                : std::nullopt;
        const std::optional<Stamp> info = json ? decodeStamp(*json) : std::nullopt;
        if (!info) {
            QDateTime created = entry.birthTime();
            if (!created.isValid()) {
                created = now;
            }
            if (created.secsTo(now) > pruneAgeSeconds) {
                removeEntry(entry.absoluteFilePath());
            }
            continue;
        }
        if (static_cast<double>(info->saved.msecsTo(now)) <= pruneAgeSeconds * 1000.0) {
            continue;
        }
        // A device, FIFO or giant at the record's path is no file we wrote:
        // it counts as changed without being read.
        const std::optional<QString> fileKey = contentKeyOfRegularFile(info->path, maxImageBytes);
        if (!fileKey || *fileKey != name) {
            removeEntry(entry.absoluteFilePath());
        }
    }
}

void EditStore::scheduleCleanup(std::chrono::milliseconds delay,
                                std::function<void()> finished) const {
    platform::assertMainThread();
    if (!QFileInfo(folder_).isDir()) {
        return;
    }
    // On this platform every folder the user saves to is readable without a
    // grant, so the pass needs no access to the save folder opened first.
    const EditStore store = *this;
    QTimer::singleShot(delay, QCoreApplication::instance(), [store, finished] {
        QThread* worker =
            QThread::create([store] { store.prune(QDateTime::currentDateTimeUtc()); });
        QObject::connect(worker, &QThread::finished, QCoreApplication::instance(),
                         [worker, finished] {
                             worker->deleteLater();
                             if (finished) {
                                 finished();
                             }
                         });
        worker->start(QThread::LowestPriority);
    });
}

} // namespace annotation
