#include "annotation/EditStore.h"

#include "app/ContentKey.h"
#include "app/ImageEncoding.h"
#include "platform/MainThread.h"

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
#include <cmath>

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

std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
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

struct RecordInfo {
    QString path;
    QDateTime saved;
};

std::optional<RecordInfo> decodeRecordInfo(const QByteArray& bytes) {
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
    return RecordInfo{*pathText, *savedDate};
}

} // namespace

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
    const std::optional<QByteArray> json = readFile(folder + QLatin1Char('/') + kEditFile);
    if (!json) {
        return std::nullopt;
    }
    std::optional<Record> record = decodeRecord(*json);
    if (!record || record->version > 1) {
        return std::nullopt;
    }
    QImageReader reader(folder + QLatin1Char('/') + kOriginalFile);
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
        const std::optional<QByteArray> json =
            readFile(folder_ + QLatin1Char('/') + name + QLatin1Char('/') + kEditFile);
        const std::optional<RecordInfo> info = json ? decodeRecordInfo(*json) : std::nullopt;
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
        const std::optional<QString> fileKey = app::contentKeyOfFile(info->path);
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
