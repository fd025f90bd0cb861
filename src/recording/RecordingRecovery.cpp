#include "recording/RecordingRecovery.h"

#include "platform/MovieRepair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace recording {

namespace {

const QLatin1String partSuffix(".mp4.part");
// What a finish writes beside the movie before it is moved into place.
const QLatin1String remuxSuffix(".mp4.remux");

QDateTime beganAt(const QFileInfo& info) {
    const QDateTime born = info.birthTime();
    return born.isValid() ? born : info.lastModified();
}

} // namespace

std::vector<RecoveredMovie> recoverUnfinishedRecordings(const QString& folder,
                                                        const QDateTime& before) {
    std::vector<RecoveredMovie> recovered;
    const QDir dir(folder);
    const QFileInfoList hidden =
        dir.entryInfoList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& info : hidden) {
        const QString name = info.fileName();
        if (info.lastModified() >= before) {
            continue;
        }
        if (name.endsWith(remuxSuffix)) {
            QFile::remove(info.absoluteFilePath());
        }
    }
    for (const QFileInfo& info : hidden) {
        const QString name = info.fileName();
        if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(partSuffix) ||
            info.lastModified() >= before) {
            continue;
        }
        const QString part = info.absoluteFilePath();
        const QString movie = dir.filePath(name.mid(1, name.size() - 1 - 5)); // ".part"
        if (QFileInfo::exists(movie)) {
            // Cut off after the finished movie was in place.
            QFile::remove(part);
            continue;
        }
        const QDateTime date = beganAt(info);
        const std::optional<platform::WholeFragments> kept = platform::keepWholeFragments(part);
        if (!kept || !kept->isFragmented) {
            QFile::remove(part);
            continue;
        }
        if (platform::remuxWithIndexInFront(part, movie)) {
            // No room for a second copy: the fragments are the movie.
            if (std::rename(QFile::encodeName(part).constData(),
                            QFile::encodeName(movie).constData()) != 0) {
                QFile::remove(part);
                continue;
            }
        } else {
            QFile::remove(part);
        }
        recovered.push_back({movie, date});
    }
    return recovered;
}

} // namespace recording
