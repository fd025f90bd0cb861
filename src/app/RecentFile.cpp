#include "app/RecentFile.h"

#include "app/NameCollator.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace app {

std::optional<RecentFile::Kind> RecentFile::kindOf(const QString& path) {
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("png") || extension == QLatin1String("jpg") ||
        extension == QLatin1String("jpeg") || extension == QLatin1String("heic")) {
        return Kind::image;
    }
    if (extension == QLatin1String("mp4") || extension == QLatin1String("mov")) {
        return Kind::video;
    }
    if (extension == QLatin1String("gif")) {
        return Kind::gif;
    }
    return std::nullopt;
}

std::optional<RecentFile> RecentFile::make(const QString& path, const QDateTime& date) {
    const std::optional<Kind> kind = kindOf(path);
    if (!kind) {
        return std::nullopt;
    }
    return RecentFile{path, date, *kind};
}

namespace {

// The earliest date there is, for a file without one.
QDateTime distantPast() {
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

} // namespace

bool RecentFile::listsBefore(const RecentFile& a, const RecentFile& b) {
    if (a.date == b.date) {
        return app::nameCollator().compare(QFileInfo(a.path).completeBaseName(),
                                           QFileInfo(b.path).completeBaseName()) > 0;
    }
    return a.date > b.date;
}

std::optional<std::vector<RecentFile>> listRecentFiles(const QString& folder, std::size_t limit) {
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    DIR* const dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        return std::nullopt;
    }
    const QString prefix = QDir::cleanPath(folder) + QLatin1Char('/');
    std::vector<RecentFile> files;
    bool failed = false;
    for (;;) {
        errno = 0;
        const dirent* const entry = ::readdir(dir);
        if (!entry) {
            failed = errno != 0;
            break;
        }
        // Hidden files (and "." and "..") are not captures.
        if (entry->d_name[0] == '.') {
            continue;
        }
        // Regular files only: a symbolic link is not followed, even to a file.
        struct stat status {};
        if (::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode)) {
            continue;
        }
        const QString path = prefix + QFile::decodeName(entry->d_name);
        const qint64 milliseconds =
            qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1'000'000;
        QDateTime date = QDateTime::fromMSecsSinceEpoch(milliseconds);
        if (!date.isValid()) {
            date = distantPast();
        }
        if (auto file = RecentFile::make(path, date)) {
            files.push_back(std::move(*file));
        }
    }
    ::closedir(dir);
    if (failed) {
        return std::nullopt;
    }
    std::stable_sort(files.begin(), files.end(), RecentFile::listsBefore);
    if (files.size() > limit) {
        files.resize(limit);
    }
    return files;
}

std::optional<QString> newestImage(const QString& folder) {
    const auto files = listRecentFiles(folder);
    if (!files) {
        return std::nullopt;
    }
    for (const RecentFile& file : *files) {
        if (file.kind == RecentFile::Kind::image) {
            return file.path;
        }
    }
    return std::nullopt;
}

} // namespace app
