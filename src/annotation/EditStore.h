#pragma once

#include "annotation/EditorState.h"
#include "annotation/Json.h"
#include "app/Capture.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace annotation {

// Keeps saved screenshots editable: for each written image file, a record
// folder named by the file's content key holds the unedited image
// ("original") and the state that produced the file ("edit.json"). No cache:
// every call goes to the disk, and every failure is absorbed.
class EditStore {
public:
    // The contents of "edit.json".
    struct Record {
        qint64 version = 1;
        double scale = 1;
        QDateTime captured;
        EditorState state;
        QString path;
        QDateTime saved;
    };

    // What loading gives back.
    struct Edit {
        app::Capture capture;
        EditorState state;
    };

    // What the editor hands over after it wrote an image file.
    struct Save {
        app::Capture capture;
        std::optional<QByteArray> originalData; // the unannotated image's bytes
        EditorState state;                      // what the file shows
        QByteArray fileData;                    // the bytes as written
        QString filePath;
        std::optional<QString> previousKey; // the record this document had before
        QDateTime time;
    };

    // PNG bytes of an image at a scale, or none.
    using PngEncoder = std::function<std::optional<QByteArray>(const QImage&, double scale)>;

    explicit EditStore(QString folder, PngEncoder encoder = {});

    // Over $XDG_DATA_HOME/Vexlin/Edits.
    static EditStore& shared();
    static QString defaultFolder();

    const QString& folder() const { return folder_; }
    QString recordFolder(const QString& key) const;

    std::optional<Edit> load(const QString& key) const;
    void save(const Save& request) const;
    void removeAll() const;
    // Removes records last saved more than 30 days before `now` whose file is
    // gone or changed, and anything that is not a readable record 30 days
    // after its creation.
    void prune(const QDateTime& now) const;
    // Runs a prune pass at background priority after `delay` (unless the
    // program ends first); does nothing when the store does not exist.
    // `finished`, if given, is called on the main thread after the pass.
    void scheduleCleanup(std::chrono::milliseconds delay = std::chrono::seconds(20),
                         std::function<void()> finished = {}) const;

    static constexpr qint64 pruneAgeSeconds = 2'592'000;
    // The largest "edit.json" read: far beyond any record the editor writes
    // (its annotations are a few hundred bytes each), and small enough that a
    // planted giant cannot take the memory of a pass.
    static constexpr qint64 maxRecordBytes = qint64(64) << 20;
    // The largest image file hashed or original read: an image within Qt's
    // decoding limit (256 MB of pixels) is smaller than this in any format
    // the editor writes, so a larger file cannot be the one a record names.
    static constexpr qint64 maxImageBytes = qint64(512) << 20;
    // Scales beyond this are read as it: no display has more pixels per point,
    // and it bounds what a damaged record can make the renderer allocate.
    static constexpr double maxScale = 8;

    // The record in its stored form: {"version", "scale", "captured",
    // "state", "path", "saved"}, dates in seconds since 2001-01-01 UTC.
    static std::optional<QByteArray> encodeRecord(const Record& record);
    static std::optional<Record> decodeRecord(const QByteArray& bytes,
                                              json::DecodeError* error = nullptr);
    // The two members the prune pass needs, read without the editor state: a
    // record whose state no longer decodes still tells when it was saved and
    // for which file.
    struct Stamp {
        QString path;
        QDateTime saved;
    };
    static std::optional<Stamp> decodeStamp(const QByteArray& bytes);

    // The bytes of a regular file of at most `limit` bytes, read through no
    // final symlink and never waiting on a device or FIFO; none for anything
    // else, also a file that grows past the limit while being read.
    static std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit);
    // The content key of such a file, hashed in pieces.
    static std::optional<QString> contentKeyOfRegularFile(const QString& path, qint64 limit);

    static double referenceSeconds(const QDateTime& date);
    static QDateTime dateFromReferenceSeconds(double seconds);

private:
    QString folder_;
    PngEncoder encoder_;
};

} // namespace annotation
