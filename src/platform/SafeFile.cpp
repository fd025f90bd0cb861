#include "platform/SafeFile.h"

#include <QByteArray>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

QByteArray encodedPath(const QString& path) {
    return QFile::encodeName(path);
}

// Publishes a finished file under a new name, refusing names that exist.
// renameat2 does it in one step; file systems without it get link + unlink,
// which refuses taken names just the same.
int publishNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return errno;
    }
    if (::link(from.constData(), to.constData()) != 0) {
        return errno;
    }
    ::unlink(from.constData());
    return 0;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // close() reports errors that a network file system keeps until then.
    std::error_code close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? std::error_code{} : lastError();
    }

private:
    int fd_;
};

} // namespace

FileCalls FileCalls::system() {
    return FileCalls{
        [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
        [](int fd, const void* data, size_t size, off_t offset) {
            return ::pwrite(fd, data, size, offset);
        }};
}

SafeFile::SafeFile(FileCalls calls) : calls_(std::move(calls)) {}

std::error_code SafeFile::writeAll(int fd, QByteArrayView bytes) const {
    const char* data = bytes.data();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = calls_.pwrite(
            fd, data + done, static_cast<size_t>(bytes.size() - done), static_cast<off_t>(done));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        if (written == 0) {
            return {ENOSPC, std::generic_category()};
        }
        done += written;
    }
    return {};
}

SafeFile::Temporary SafeFile::writeTemporary(const QString& folder, const QString& hint,
                                             QByteArrayView bytes,
                                             std::optional<mode_t> mode) const {
    // A hidden name that folder listings skip while the file is incomplete.
    QString path;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        path = folder + QStringLiteral("/.") + hint + QStringLiteral(".") +
               QString::number(QRandomGenerator::global()->generate64(), 36) +
               QStringLiteral(".tmp");
        fd = calls_.open(encodedPath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                         0666);
        if (fd < 0 && errno != EEXIST) {
            return {QString(), lastError()};
        }
    }
    if (fd < 0) {
        return {QString(), std::error_code(EEXIST, std::generic_category())};
    }
    Descriptor file(fd);
    std::error_code error = writeAll(file.get(), bytes);
    if (!error && mode && ::fchmod(file.get(), *mode) != 0) {
        error = lastError();
    }
    if (!error && ::fsync(file.get()) != 0) {
        error = lastError();
    }
    if (const std::error_code closed = file.close(); !error && closed) {
        error = closed;
    }
    if (error) {
        ::unlink(encodedPath(path).constData());
        return {QString(), error};
    }
    return {path, {}};
}

SafeFile::Created SafeFile::createUnique(const QString& folder, QByteArrayView bytes,
                                         const std::function<QString(int)>& nameFor) const {
    const Temporary temporary = writeTemporary(folder, QStringLiteral("new"), bytes, std::nullopt);
    if (temporary.error) {
        return {QString(), temporary.error};
    }
    const QByteArray from = encodedPath(temporary.path);
    // Bounded so that a folder that refuses every name cannot loop forever.
    for (int attempt = 1; attempt <= 100000; ++attempt) {
        const QString target = folder + QLatin1Char('/') + nameFor(attempt);
        const int status = publishNoReplace(from, encodedPath(target));
        if (status == 0) {
            return {target, {}};
        }
        if (status != EEXIST) {
            ::unlink(from.constData());
            return {QString(), std::error_code(status, std::generic_category())};
        }
    }
    ::unlink(from.constData());
    return {QString(), std::error_code(EEXIST, std::generic_category())};
}

std::error_code SafeFile::replace(const QString& path, QByteArrayView bytes) const {
    const QFileInfo info(path);
    std::optional<mode_t> mode;
    struct stat existing {};
    if (::stat(encodedPath(path).constData(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    }
    // The hint keeps the temporary name readable yet within NAME_MAX.
    const Temporary temporary =
        writeTemporary(info.absolutePath(), info.fileName().left(64), bytes, mode);
    if (temporary.error) {
        return temporary.error;
    }
    const QByteArray from = encodedPath(temporary.path);
    if (::rename(from.constData(), encodedPath(path).constData()) != 0) {
        const std::error_code error = lastError();
        ::unlink(from.constData());
        return error;
    }
    return {};
}

std::error_code SafeFile::overwriteInPlace(const QString& path, QByteArrayView bytes) const {
    const QByteArray name = encodedPath(path);
    const int fd = calls_.open(name.constData(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
        if (errno != ENOENT) {
            return lastError();
        }
        // Nothing to keep: a new file, removed again if it cannot be finished.
        const int created =
            calls_.open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created < 0) {
            return lastError();
        }
        Descriptor file(created);
        std::error_code error = writeAll(file.get(), bytes);
        if (!error && ::fsync(file.get()) != 0) {
            error = lastError();
        }
        if (const std::error_code closed = file.close(); !error && closed) {
            error = closed;
        }
        if (error) {
            ::unlink(name.constData());
        }
        return error;
    }
    Descriptor file(fd);
    struct stat existing {};
    if (::fstat(file.get(), &existing) != 0) {
        return lastError();
    }
    // Keep the old bytes so that a failed write can be undone.
    QByteArray old;
    old.resize(static_cast<qsizetype>(existing.st_size));
    for (qsizetype done = 0; done < old.size();) {
        const ssize_t n = ::pread(file.get(), old.data() + done,
                                  static_cast<size_t>(old.size() - done), static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? lastError() : std::error_code(EIO, std::generic_category());
        }
        done += n;
    }
    // Reserve the blocks first, so that a full disk says so before anything
    // is written. File systems without fallocate go on without the reservation
    // and rely on the undo below.
    if (bytes.size() > old.size() &&
        ::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        return lastError();
    }
    std::error_code error = writeAll(file.get(), bytes);
    if (!error && ::ftruncate(file.get(), static_cast<off_t>(bytes.size())) != 0) {
        error = lastError();
    }
    if (!error && ::fsync(file.get()) != 0) {
        error = lastError();
    }
    if (error) {
        // Undo: the old bytes fit where they were.
        const FileCalls system = FileCalls::system();
        for (qsizetype done = 0; done < old.size();) {
            const ssize_t n =
                system.pwrite(file.get(), old.constData() + done,
                              static_cast<size_t>(old.size() - done), static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += n;
        }
        [[maybe_unused]] const int truncated =
            ::ftruncate(file.get(), static_cast<off_t>(old.size()));
        ::fsync(file.get());
        return error;
    }
    return file.close();
}

std::error_code SafeFile::createFolder(const QString& folder) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(encodedPath(folder).toStdString()),
                                        error);
    return error;
}

} // namespace platform
