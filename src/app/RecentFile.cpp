#include "app/RecentFile.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

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

// A name comparison as a file manager sorts: numbers by value, case aside.
int compareNames(const QString& a, const QString& b) {
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator.compare(a, b);
}

} // namespace

bool RecentFile::listsBefore(const RecentFile& a, const RecentFile& b) {
    if (a.date == b.date) {
        return compareNames(QFileInfo(a.path).completeBaseName(),
                            QFileInfo(b.path).completeBaseName()) > 0;
    }
    return a.date > b.date;
}

std::optional<std::vector<RecentFile>> listRecentFiles(const QString& folder, std::size_t limit) {
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists() || !dir.isReadable()) {
        return std::nullopt;
    }
    std::vector<RecentFile> files;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
        if (!entry.isFile()) {
            continue;
        }
        QDateTime date = entry.lastModified();
        if (!date.isValid()) {
            date = QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC); // the distant past
        }
        if (auto file = RecentFile::make(entry.absoluteFilePath(), date)) {
            files.push_back(std::move(*file));
        }
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
