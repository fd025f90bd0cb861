#pragma once

#include <QDateTime>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace app {

// One capture file of the save folder, as the editor's recent strip and its
// open-latest command see it. What it is follows from its extension alone.
struct RecentFile {
    enum class Kind { image, video, gif };

    QString path;
    // The content's last modification; the earliest date there is when the
    // file system gives none, so such a file lists last.
    QDateTime date;
    Kind kind = Kind::image;

    bool operator==(const RecentFile&) const = default;

    // The kind of a file name: png, jpg, jpeg and heic are images, mp4 and
    // mov videos, gif a GIF, in any case; none for every other name.
    static std::optional<Kind> kindOf(const QString& path);
    // A record for a listed file; none when its extension is not a capture's.
    static std::optional<RecentFile> make(const QString& path, const QDateTime& date);

    // The listing's order: newer first; within the same date, the name
    // without its extension that sorts later in the user's language (numbers
    // by value) first, so "Capture (2)" lists before "Capture" and "shot10"
    // before "shot9".
    static bool listsBefore(const RecentFile& a, const RecentFile& b);
};

// The capture files directly in the folder: regular files only (no hidden
// files, subfolders or symbolic links, even to a file), in listing order, at most `limit`; none
// when the folder cannot be read. Reads the file system only: safe on any thread.
std::optional<std::vector<RecentFile>> listRecentFiles(const QString& folder,
                                                       std::size_t limit = SIZE_MAX);

// The newest image of the folder (newer videos and GIFs are passed over), or
// none when it holds no image or cannot be read. Any thread.
std::optional<QString> newestImage(const QString& folder);

} // namespace app
