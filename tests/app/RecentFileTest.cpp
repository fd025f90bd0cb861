#include "app/RecentFile.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using app::RecentFile;

TEST(RecentFile, KindFollowsTheExtensionInAnyCase) {
    const struct {
        const char* name;
        std::optional<RecentFile::Kind> kind;
    } cases[] = {
        {"Shot.PNG", RecentFile::Kind::image},
        {"a.jpg", RecentFile::Kind::image},
        {"a.JPEG", RecentFile::Kind::image},
        {"a.heic", RecentFile::Kind::image},
        {"clip.MOV", RecentFile::Kind::video},
        {"clip.mp4", RecentFile::Kind::video},
        {"loop.gif", RecentFile::Kind::gif},
        {"scan.tiff", std::nullopt},
        {"README", std::nullopt},
        {"archive.png.zip", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecentFile::kindOf(QString::fromLatin1(c.name)), c.kind) << c.name;
    }
}

// Files with modification dates, newest first as listed.
void touch(const QString& path, const QDateTime& date) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.flush();
    file.setFileTime(date, QFileDevice::FileModificationTime);
}

TEST(RecentFile, ListsNewestFirstThenNamesDescendingByNumber) {
    testsupport::TempDir dir;
    const QDateTime noon(QDate(2024, 5, 1), QTime(12, 0));
    touch(dir.file("old.png"), noon.addSecs(-60));
    touch(dir.file("Capture.png"), noon);
    touch(dir.file("Capture (2).png"), noon);
    touch(dir.file("shot9.png"), noon.addSecs(-30));
    touch(dir.file("shot10.png"), noon.addSecs(-30));
    touch(dir.file("clip.mov"), noon.addSecs(60));
    touch(dir.file(".hidden.png"), noon.addSecs(120));
    touch(dir.file("notes.txt"), noon.addSecs(120));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.png")));

    const auto files = app::listRecentFiles(dir.path());
    ASSERT_TRUE(files);
    QStringList names;
    for (const RecentFile& file : *files) {
        names << QFileInfo(file.path).fileName();
    }
    EXPECT_EQ(names.join(QLatin1Char('|')).toStdString(),
              QStringList({"clip.mov", "Capture (2).png", "Capture.png", "shot10.png", "shot9.png",
                           "old.png"})
                  .join(QLatin1Char('|'))
                  .toStdString());
    EXPECT_EQ(app::listRecentFiles(dir.path(), 2)->size(), 2u);

    // The newest image, past the newer video.
    EXPECT_EQ(app::newestImage(dir.path()), dir.file("Capture (2).png"));
}

TEST(RecentFile, NoImageOrNoFolderGivesNone) {
    testsupport::TempDir dir;
    touch(dir.file("clip.mp4"), QDateTime::currentDateTime());
    touch(dir.file("loop.gif"), QDateTime::currentDateTime());
    EXPECT_EQ(app::newestImage(dir.path()), std::nullopt);
    EXPECT_EQ(app::newestImage(dir.file("missing")), std::nullopt);
    EXPECT_EQ(app::listRecentFiles(dir.file("missing")), std::nullopt);
    EXPECT_EQ(app::newestImage(QString()), std::nullopt);
}

} // namespace
