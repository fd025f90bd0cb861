#include "recording/RecordingFiles.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/time.h>

namespace {

// Sets an item's own modification time (a link's, not its target's).
void age(const QString& path, const QDateTime& when) {
    const timeval times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
    ASSERT_EQ(::lutimes(QFile::encodeName(path).constData(), times), 0) << path.toStdString();
}

TEST(RemoveExpiredRecordings, DeletesWhatIsOlderThanSevenDaysAndKeepsTheRest) {
    testsupport::TempDir dir;
    testsupport::TempDir outside;
    const QString folder = dir.file(QStringLiteral("Recordings"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/Share-old")));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/Share-new")));
    const QDateTime now = QDateTime::fromSecsSinceEpoch(2'000'000'000, Qt::UTC);
    const QString target = outside.file(QStringLiteral("kept.mp4"));
    testsupport::writeAll(target, "not ours");

    struct Item {
        const char* name;
        qint64 ageSeconds;
        bool kept;
    };
    const Item items[] = {
        {"old.mp4", 604801, false},
        {"week.mp4", 604800, true}, // exactly seven days: not more than
        {"new.gif", 60, true},
        {".hidden-old.mp4", 900000, false},
        {"Share-old", 700000, false},
        {"Share-new", 10, true},
        {"old-link", 700000, false},
    };
    testsupport::writeAll(folder + QStringLiteral("/Share-old/inner.mp4"), "x");
    testsupport::writeAll(folder + QStringLiteral("/Share-new/inner.mp4"), "x");
    ASSERT_TRUE(QFile::link(target, folder + QStringLiteral("/old-link")));
    for (const Item& item : items) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(item.name);
        if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) {
            testsupport::writeAll(path, "data");
        }
        age(path, now.addSecs(-item.ageSeconds));
    }

    recording::removeExpiredRecordings(folder, now);

    for (const Item& item : items) {
        const QFileInfo info(folder + QLatin1Char('/') + QLatin1String(item.name));
        EXPECT_EQ(info.exists() || info.isSymLink(), item.kept) << item.name;
    }
    // Removing a link never touches what it points to.
    EXPECT_EQ(testsupport::readAll(target), QByteArray("not ours"));
}

TEST(RemoveExpiredRecordings, MissingFolderIsNoError) {
    testsupport::TempDir dir;
    recording::removeExpiredRecordings(dir.file(QStringLiteral("absent")),
                                       QDateTime::currentDateTimeUtc());
    EXPECT_FALSE(QDir(dir.file(QStringLiteral("absent"))).exists());
}

} // namespace
