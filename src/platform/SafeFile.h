#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <ctime>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <system_error>

namespace platform {

// File names on Linux are bytes, not text. A path whose bytes are not UTF-8
// still travels through the program's QString paths unchanged: pathText keeps
// each byte that is not part of valid UTF-8 as the lone surrogate U+DC80 +
// byte, and pathBytes turns those back into the byte. For UTF-8 paths both are
// QFile::encodeName/decodeName.
QByteArray pathBytes(QStringView path);
QString pathText(QByteArrayView bytes);

// Unfinished files that could not be kept nameless carry this prefix; ours
// older than an hour are removed before the next write into their folder.
inline constexpr char unfinishedPrefix[] = ".vexlin-unfinished-";
inline constexpr int unfinishedKeepSeconds = 60 * 60;

// The system calls SafeFile makes that can fail half-way; tests replace them
// to act out a full disk, a refused temporary file or a file system without
// nameless files (open with O_TMPFILE failing with EOPNOTSUPP).
struct FileCalls {
    std::function<int(const char* path, int flags, mode_t mode)> open;
    std::function<ssize_t(int fd, const void* data, size_t size, off_t offset)> pwrite;

    static FileCalls system();
};

// Writes files so that a failure never leaves a damaged or half-written file
// behind: every write first goes to a nameless file in the target's folder
// (O_TMPFILE), which gets its name only when it is complete and flushed to
// disk, so a kill at any point leaves nothing. Where the file system has no
// nameless files, the unfinished file is named with unfinishedPrefix, and
// such files of ours that a kill left behind are removed later.
class SafeFile {
public:
    explicit SafeFile(FileCalls calls = FileCalls::system());

    // Content too large to hold in memory: writes all of it into fd, which is
    // empty and open for writing, and says what failed.
    using Writer = std::function<std::error_code(int fd)>;
    // A Writer that copies everything of the open file `source` from its
    // start (sharing the blocks where the file system can).
    static Writer copyOf(int source);

    // Writes bytes under the first of nameFor(1), nameFor(2), … (file names in
    // folder) that does not exist yet, and gives its path. A name that
    // appears while this runs is never replaced: the publishing step itself
    // refuses taken names.
    struct Created {
        QString path;
        std::error_code error;
    };
    Created createUnique(const QString& folder, QByteArrayView bytes,
                         const std::function<QString(int attempt)>& nameFor) const;
    Created createUniqueWith(const QString& folder, const Writer& write,
                             const std::function<QString(int attempt)>& nameFor) const;

    // Replaces (or creates) path atomically; the old file keeps its
    // permissions. On failure the old file is untouched.
    std::error_code replace(const QString& path, QByteArrayView bytes) const;
    std::error_code replaceWith(const QString& path, const Writer& write) const;

    // For folders that refuse new files but let an existing one be written:
    // rewrites path in place. Space is reserved first, and if writing fails
    // the old bytes are put back, so the file is either all new or all old; a
    // file this call created is removed again.
    std::error_code overwriteInPlace(const QString& path, QByteArrayView bytes) const;

    // Creates folder and any missing parents; an existing folder is fine.
    static std::error_code createFolder(const QString& folder);

    // Removes the unfinished files of ours (unfinishedPrefix, and the hidden
    // ".new.*.tmp" of earlier builds) in folder that are regular files of this
    // user whose last change is more than unfinishedKeepSeconds before now.
    static void removeStaleUnfinished(const QByteArray& folder, time_t now);

private:
    struct Unfinished;
    std::error_code writeUnfinished(const QByteArray& folder, const Writer& write,
                                    std::optional<mode_t> mode, Unfinished& out) const;
    Writer bytesWriter(QByteArrayView bytes) const;
    std::error_code writeAll(int fd, QByteArrayView bytes) const;

    FileCalls calls_;
};

} // namespace platform
