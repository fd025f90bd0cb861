#include "service/ReleaseUnpacker.h"

#include "platform/DeferredLibrary.h"

#include <QFile>
#include <QSet>
#include <QStringList>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace service {

namespace {

struct ReaderDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};

// The entry's path with its "./" prefixes gone; empty for the top folder
// itself, and nothing when it is absolute or climbs out with "..".
std::optional<QString> relativePath(const char* raw) {
    if (raw == nullptr) {
        return std::nullopt;
    }
    const QString path = QFile::decodeName(raw);
    if (path.startsWith(QLatin1Char('/'))) {
        return std::nullopt;
    }
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".")) {
            continue;
        }
        if (part == QLatin1String("..")) {
            return std::nullopt;
        }
        parts.append(part);
    }
    return parts.join(QLatin1Char('/'));
}

// Whether a symbolic link at `entry` (whose folders are real folders: nothing
// is written through a link) pointing to `target` resolves inside the folder.
bool linkStaysInside(const QString& entry, const char* rawTarget) {
    if (rawTarget == nullptr) {
        return false;
    }
    const QString target = QFile::decodeName(rawTarget);
    if (target.isEmpty() || target.startsWith(QLatin1Char('/'))) {
        return false;
    }
    // ".." only before any name: after a name, which may be a link itself,
    // the system climbs from wherever that link leads, not from here.
    qsizetype depth = entry.count(QLatin1Char('/'));
    bool named = false;
    for (const QString& part : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".")) {
            continue;
        }
        if (part == QLatin1String("..")) {
            if (named || depth == 0) {
                return false;
            }
            --depth;
        } else {
            named = true;
        }
    }
    return true;
}

} // namespace

QString ReleaseUnpacker::unpack(const QString& archivePath, const QString& folder) const {
    if (QString error; !platform::loadDeferred(platform::DeferredLibrary::archive, &error)) {
        return error;
    }
    std::unique_ptr<archive, ReaderDeleter> reader(archive_read_new());
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_format_tar(reader.get());
    const QByteArray name = QFile::encodeName(archivePath);
    if (archive_read_open_filename(reader.get(), name.constData(), 64 * 1024) != ARCHIVE_OK) {
        return QStringLiteral("cannot read the archive: %1")
            .arg(QString::fromLocal8Bit(archive_error_string(reader.get())));
    }
    std::unique_ptr<archive, WriterDeleter> writer(archive_write_disk_new());
    // Permissions for the program's execute bit; never the owner, and never
    // through a link on the way, out of the folder, or to an absolute path.
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME |
                                                     ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                     ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                     ARCHIVE_EXTRACT_NO_OVERWRITE);
    const QString root = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');

    qint64 entries = 0;
    // The regular files unpacked so far (hard links to them too), by their
    // relative paths.
    QSet<QString> files;
    // What the headers declare, refused before anything of it is written,
    // and what the data really comes to (a sparse entry's holes included).
    qint64 declared = 0;
    qint64 unpacked = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int read = archive_read_next_header(reader.get(), &entry);
        if (read == ARCHIVE_EOF) {
            break;
        }
        if (read != ARCHIVE_OK) {
            return QStringLiteral("damaged archive: %1")
                .arg(QString::fromLocal8Bit(archive_error_string(reader.get())));
        }
        if (++entries > maximumEntries) {
            return QStringLiteral("more than %1 entries").arg(maximumEntries);
        }
        const std::optional<QString> path = relativePath(archive_entry_pathname(entry));
        if (!path) {
            return QStringLiteral("an entry outside the folder");
        }
        const mode_t mode = archive_entry_mode(entry);
        if ((mode & (S_ISUID | S_ISGID)) != 0) {
            return QStringLiteral("a set-uid or set-gid entry: %1").arg(*path);
        }
        const char* hardlink = archive_entry_hardlink(entry);
        const mode_t type = archive_entry_filetype(entry);
        if (hardlink != nullptr) {
            // Only to a file unpacked before: a hard link to a symbolic link
            // is that link again in another place, where its way up may lead
            // out.
            const std::optional<QString> target = relativePath(hardlink);
            if (!target || !files.contains(*target)) {
                return QStringLiteral("a hard link to no file of the folder: %1").arg(*path);
            }
            archive_entry_set_hardlink(entry, QFile::encodeName(root + *target).constData());
        } else if (type == AE_IFLNK) {
            if (!linkStaysInside(*path, archive_entry_symlink(entry))) {
                return QStringLiteral("a link out of the folder: %1").arg(*path);
            }
        } else if (type != AE_IFREG && type != AE_IFDIR) {
            return QStringLiteral("a device, FIFO or socket: %1").arg(*path);
        }
        if (path->isEmpty()) {
            // The top folder itself: the target folder stands for it.
            continue;
        }
        if (archive_entry_size_is_set(entry)) {
            declared += std::max<qint64>(0, archive_entry_size(entry));
            if (declared > maximumBytes) {
                return QStringLiteral("unpacks to more than %1 bytes").arg(maximumBytes);
            }
        }
        archive_entry_set_pathname(entry, QFile::encodeName(root + *path).constData());
        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK) {
            return QStringLiteral("cannot write %1: %2")
                .arg(*path, QString::fromLocal8Bit(archive_error_string(writer.get())));
        }
        // The data as it comes, counted again: the declared size is only
        // what the header says.
        qint64 written = 0;
        for (;;) {
            if (cancelled != nullptr && cancelled->load()) {
                return QStringLiteral("cancelled");
            }
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int data = archive_read_data_block(reader.get(), &block, &size, &offset);
            if (data == ARCHIVE_EOF) {
                break;
            }
            if (data != ARCHIVE_OK) {
                return QStringLiteral("damaged archive: %1")
                    .arg(QString::fromLocal8Bit(archive_error_string(reader.get())));
            }
            const qint64 end = qint64(offset) + qint64(size);
            if (end > written) {
                unpacked += end - written;
                written = end;
            }
            if (unpacked > maximumBytes) {
                return QStringLiteral("unpacks to more than %1 bytes").arg(maximumBytes);
            }
            if (archive_write_data_block(writer.get(), block, size, offset) != ARCHIVE_OK) {
                return QStringLiteral("cannot write %1: %2")
                    .arg(*path, QString::fromLocal8Bit(archive_error_string(writer.get())));
            }
        }
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK) {
            return QStringLiteral("cannot finish %1: %2")
                .arg(*path, QString::fromLocal8Bit(archive_error_string(writer.get())));
        }
        if (hardlink != nullptr || type == AE_IFREG) {
            files.insert(*path);
        }
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        return QStringLiteral("cannot finish unpacking: %1")
            .arg(QString::fromLocal8Bit(archive_error_string(writer.get())));
    }
    return {};
}

} // namespace service
