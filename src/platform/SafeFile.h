#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>
#include <sys/types.h>
#include <system_error>

namespace platform {

// The system calls SafeFile makes that can fail half-way; tests replace them
// to act out a full disk or a refused temporary file.
struct FileCalls {
    std::function<int(const char* path, int flags, mode_t mode)> open;
    std::function<ssize_t(int fd, const void* data, size_t size, off_t offset)> pwrite;

    static FileCalls system();
};

// Writes files so that a failure never leaves a damaged or half-written file
// behind: every write first goes to a temporary file beside the target, which
// is published only when it is complete and flushed to disk.
class SafeFile {
public:
    explicit SafeFile(FileCalls calls = FileCalls::system());

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

    // Replaces (or creates) path atomically; the old file keeps its
    // permissions. On failure the old file is untouched.
    std::error_code replace(const QString& path, QByteArrayView bytes) const;

    // For folders that refuse new files but let an existing one be written:
    // rewrites path in place. Space is reserved first, and if writing fails
    // the old bytes are put back, so the file is either all new or all old; a
    // file this call created is removed again.
    std::error_code overwriteInPlace(const QString& path, QByteArrayView bytes) const;

    // Creates folder and any missing parents; an existing folder is fine.
    static std::error_code createFolder(const QString& folder);

private:
    struct Temporary {
        QString path;
        std::error_code error;
    };
    Temporary writeTemporary(const QString& folder, const QString& hint, QByteArrayView bytes,
                             std::optional<mode_t> mode) const;
    std::error_code writeAll(int fd, QByteArrayView bytes) const;

    FileCalls calls_;
};

} // namespace platform
