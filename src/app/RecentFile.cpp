#include "app/RecentFile.h"

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

// A name comparison as a file manager sorts: runs of digits by their value
// ("shot9" before "shot10"), the rest without regard to case. Written out
// rather than left to the collator, whose numeric mode depends on how Qt
// was built and on the locale.
int compareNames(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i, endB = j;
            while (endA < a.size() && a[endA].isDigit()) {
                ++endA;
            }
            while (endB < b.size() && b[endB].isDigit()) {
                ++endB;
            }
            // Leading zeros say nothing about the value.
            qsizetype startA = i, startB = j;
            while (startA + 1 < endA && a[startA] == QLatin1Char('0')) {
                ++startA;
            }
            while (startB + 1 < endB && b[startB] == QLatin1Char('0')) {
                ++startB;
            }
            const qsizetype lengthA = endA - startA, lengthB = endB - startB;
            if (lengthA != lengthB) {
                return lengthA < lengthB ? -1 : 1;
            }
            if (const int digits = QStringView(a)
                                       .mid(startA, lengthA)
                                       .compare(QStringView(b).mid(startB, lengthB));
                digits != 0) {
                return digits;
            }
            i = endA;
            j = endB;
            continue;
        }
        const int letter =
            QStringView(a).mid(i, 1).compare(QStringView(b).mid(j, 1), Qt::CaseInsensitive);
        if (letter != 0) {
            return letter;
        }
        ++i;
        ++j;
    }
    if (i < a.size()) {
        return 1;
    }
    return j < b.size() ? -1 : 0;
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
