#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>

namespace service {

// Unpacks a release archive (.tar.gz) strictly: an archive is refused whole
// unless every entry is a regular file, a folder, a symbolic link that stays
// inside the target folder or a hard link to a file unpacked before it, none
// is set-uid or set-gid, and its entries and their unpacked size stay under
// the caps. Nothing is written outside the target folder, and no existing
// file is followed through a link. Runs on any thread; the caller removes the
// target folder after a refusal.
struct ReleaseUnpacker {
    // A release is the program and what it brings, packed into at most
    // 512 MB; half as much again unpacked is generous, far more is a bomb.
    static constexpr qint64 defaultMaximumBytes = 768LL * 1024 * 1024;
    static constexpr qint64 defaultMaximumEntries = 20'000;

    qint64 maximumBytes = defaultMaximumBytes;
    qint64 maximumEntries = defaultMaximumEntries;
    // Set from another thread to stop between blocks.
    const std::atomic<bool>* cancelled = nullptr;

    // Empty when the archive was unpacked into `folder` (which exists);
    // otherwise why it was refused.
    QString unpack(const QString& archive, const QString& folder) const;
};

} // namespace service
