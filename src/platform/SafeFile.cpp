#include "platform/SafeFile.h"

#include <QByteArray>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

QByteArray encodedPath(const QString& path) {
    return pathBytes(path);
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

// Gives a nameless file its first name; a taken name is refused (EEXIST).
// AT_EMPTY_PATH needs a capability most users lack; /proc/self/fd does the
// same for everyone.
int linkNameless(int fd, const QByteArray& to) {
    if (::linkat(fd, "", AT_FDCWD, to.constData(), AT_EMPTY_PATH) == 0) {
        return 0;
    }
    if (errno == EEXIST) {
        return errno;
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, to.constData(), AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
    return errno;
}

QByteArray unfinishedName(const QByteArray& folder) {
    return folder + '/' + unfinishedPrefix +
           QByteArray::number(QRandomGenerator::global()->generate64(), 36);
}

bool isOldUnfinishedName(const char* name) {
    const std::string_view text(name);
    if (text.starts_with(unfinishedPrefix)) {
        return true;
    }
    // What earlier builds named them: ".new." and base-36 digits, ".tmp".
    constexpr std::string_view head = ".new.";
    constexpr std::string_view tail = ".tmp";
    if (text.size() <= head.size() + tail.size() || !text.starts_with(head) ||
        !text.ends_with(tail)) {
        return false;
    }
    const std::string_view digits =
        text.substr(head.size(), text.size() - head.size() - tail.size());
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
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

QByteArray pathBytes(QStringView path) {
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype plain = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (unit < 0xDC80 || unit > 0xDCFF) {
            continue;
        }
        // A low surrogate after a high one is half of a real character.
        if (i > 0 && QChar::isHighSurrogate(path[i - 1].unicode())) {
            continue;
        }
        bytes += path.mid(plain, i - plain).toUtf8();
        bytes += static_cast<char>(unit - 0xDC00);
        plain = i + 1;
    }
    bytes += path.mid(plain).toUtf8();
    return bytes;
}

QString pathText(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const unsigned char lead = data[i];
        qsizetype length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x6  ? 2
                           : (lead >> 4) == 0xE  ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        bool valid = length > 0 && i + length <= size;
        char32_t code = 0;
        if (valid) {
            code = length == 1 ? lead : lead & (0x7F >> length);
            for (qsizetype k = 1; k < length && valid; ++k) {
                valid = (data[i + k] & 0xC0) == 0x80;
                code = (code << 6) | (data[i + k] & 0x3F);
            }
            // Overlong forms, surrogates and values past Unicode are not UTF-8.
            static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
            valid = valid && code >= smallest[length] && code <= 0x10FFFF &&
                    (code < 0xD800 || code > 0xDFFF);
        }
        if (!valid) {
            text += QChar(static_cast<char16_t>(0xDC00 + lead));
            ++i;
            continue;
        }
        text += QString::fromUcs4(&code, 1);
        i += length;
    }
    return text;
}

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

void SafeFile::removeStaleUnfinished(const QByteArray& folder, time_t now) {
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        return;
    }
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    const uid_t me = ::geteuid();
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' || !isOldUnfinishedName(entry->d_name)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != me ||
            now - info.st_mtime <= unfinishedKeepSeconds) {
            continue;
        }
        ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// A complete, flushed file that has no final name yet: nameless (name empty)
// or under an unfinishedPrefix name.
struct SafeFile::Unfinished {
    Descriptor file;
    QByteArray name;
};

SafeFile::Writer SafeFile::bytesWriter(QByteArrayView bytes) const {
    return [this, bytes](int fd) { return writeAll(fd, bytes); };
}

SafeFile::Writer SafeFile::copyOf(int source) {
    return [source](int fd) -> std::error_code {
        off_t from = 0;
        off_t to = 0;
        // copy_file_range shares blocks or copies inside the kernel; file
        // systems or kernels without it for this pair get plain reads.
        for (;;) {
            const ssize_t copied = ::copy_file_range(source, &from, fd, &to, size_t(1) << 30, 0);
            if (copied > 0) {
                continue;
            }
            if (copied == 0) {
                return {};
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EBADF) {
                return lastError();
            }
            break;
        }
        std::vector<char> buffer(size_t(1) << 20);
        for (;;) {
            const ssize_t got = ::pread(source, buffer.data(), buffer.size(), from);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return lastError();
            }
            if (got == 0) {
                return {};
            }
            for (ssize_t done = 0; done < got;) {
                const ssize_t written = ::pwrite(fd, buffer.data() + done, size_t(got - done), to);
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
                to += written;
            }
            from += got;
        }
    };
}

std::error_code SafeFile::writeUnfinished(const QByteArray& folder, const Writer& write,
                                          std::optional<mode_t> mode, Unfinished& out) const {
    removeStaleUnfinished(folder, ::time(nullptr));
    int fd = calls_.open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        // File systems without nameless files say so in one of these ways.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return lastError();
        }
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            out.name = unfinishedName(folder);
            fd = calls_.open(out.name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) {
                return lastError();
            }
        }
        if (fd < 0) {
            return {EEXIST, std::generic_category()};
        }
    }
    out.file.reset(fd);
    std::error_code error = write(fd);
    if (!error && mode && ::fchmod(fd, *mode) != 0) {
        error = lastError();
    }
    if (!error && ::fsync(fd) != 0) {
        error = lastError();
    }
    if (error && !out.name.isEmpty()) {
        ::unlink(out.name.constData());
    }
    return error;
}

namespace {

// close() of a file that was written reports what a network file system kept
// until then; a named unfinished file is removed when it fails.
std::error_code closeWritten(Descriptor& file, const QByteArray& name) {
    if (const std::error_code error = file.close()) {
        if (!name.isEmpty()) {
            ::unlink(name.constData());
        }
        return error;
    }
    return {};
}

} // namespace

SafeFile::Created SafeFile::createUnique(const QString& folder, QByteArrayView bytes,
                                         const std::function<QString(int)>& nameFor) const {
    return createUniqueWith(folder, bytesWriter(bytes), nameFor);
}

SafeFile::Created SafeFile::createUniqueWith(const QString& folder, const Writer& write,
                                             const std::function<QString(int)>& nameFor) const {
    const QByteArray folderBytes = encodedPath(folder);
    Unfinished unfinished;
    if (const std::error_code error =
            writeUnfinished(folderBytes, write, std::nullopt, unfinished)) {
        return {QString(), error};
    }
    const bool nameless = unfinished.name.isEmpty();
    if (!nameless) {
        if (const std::error_code error = closeWritten(unfinished.file, unfinished.name)) {
            return {QString(), error};
        }
    }
    // Bounded so that a folder that refuses every name cannot loop forever.
    for (int attempt = 1; attempt <= 100000; ++attempt) {
        const QString target = folder + QLatin1Char('/') + nameFor(attempt);
        const QByteArray to = encodedPath(target);
        const int status = nameless ? linkNameless(unfinished.file.get(), to)
                                    : publishNoReplace(unfinished.name, to);
        if (status == 0) {
            if (nameless) {
                if (const std::error_code error = unfinished.file.close()) {
                    ::unlink(to.constData());
                    return {QString(), error};
                }
            }
            return {target, {}};
        }
        if (status != EEXIST) {
            if (!nameless) {
                ::unlink(unfinished.name.constData());
            }
            return {QString(), std::error_code(status, std::generic_category())};
        }
    }
    if (!nameless) {
        ::unlink(unfinished.name.constData());
    }
    return {QString(), std::error_code(EEXIST, std::generic_category())};
}

std::error_code SafeFile::replace(const QString& path, QByteArrayView bytes) const {
    return replaceWith(path, bytesWriter(bytes));
}

std::error_code SafeFile::replaceWith(const QString& path, const Writer& write) const {
    const QByteArray target = encodedPath(path);
    std::optional<mode_t> mode;
    struct stat existing {};
    if (::stat(target.constData(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    }
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : target.left(slash);
    Unfinished unfinished;
    if (const std::error_code error = writeUnfinished(folder, write, mode, unfinished)) {
        return error;
    }
    if (unfinished.name.isEmpty()) {
        // Only rename replaces a file in one step, and it needs a name to
        // move: the finished file gets one for that instant.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = unfinishedName(folder);
            const int status = linkNameless(unfinished.file.get(), name);
            if (status == 0) {
                unfinished.name = name;
                break;
            }
            if (status != EEXIST) {
                return {status, std::generic_category()};
            }
        }
        if (unfinished.name.isEmpty()) {
            return {EEXIST, std::generic_category()};
        }
    }
    if (const std::error_code error = closeWritten(unfinished.file, unfinished.name)) {
        return error;
    }
    if (::rename(unfinished.name.constData(), target.constData()) != 0) {
        const std::error_code error = lastError();
        ::unlink(unfinished.name.constData());
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
