#include "platform/SafeFile.h"

#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

using platform::FileCalls;
using platform::SafeFile;
using testsupport::readAll;
using testsupport::TempDir;
using testsupport::writeAll;

namespace {

QString numbered(int attempt) {
    return attempt == 1 ? QStringLiteral("shot.png") : QStringLiteral("shot (%1).png").arg(attempt);
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Writes that stop with an error after a number of bytes, as a disk that
// fills up does.
FileCalls failingAfter(qint64 bytes, int error) {
    FileCalls calls = FileCalls::system();
    auto written = std::make_shared<qint64>(0);
    const auto write = calls.pwrite;
    calls.pwrite = [=](int fd, const void* data, size_t size, off_t offset) -> ssize_t {
        const qint64 room = bytes - *written;
        if (room <= 0) {
            errno = error;
            return -1;
        }
        const ssize_t n =
            write(fd, data, std::min<size_t>(size, static_cast<size_t>(room)), offset);
        if (n > 0) {
            *written += n;
        }
        return n;
    };
    return calls;
}

// Refuses to create new files, as a folder the program may not write into.
FileCalls refusingNewFiles() {
    FileCalls calls = FileCalls::system();
    const auto open = calls.open;
    calls.open = [=](const char* path, int flags, mode_t mode) {
        if (flags & O_CREAT) {
            errno = EACCES;
            return -1;
        }
        return open(path, flags, mode);
    };
    return calls;
}

const QByteArray oldBytes = QByteArray("the user's old file, which must survive").repeated(50);
const QByteArray newBytes = QByteArray("new capture bytes ").repeated(2000);

} // namespace

TEST(SafeFile, CreateUniqueTakesTheFirstFreeNumber) {
    TempDir dir;
    writeAll(dir.file("shot.png"), "taken");
    writeAll(dir.file("shot (3).png"), "taken too");
    const SafeFile::Created first = SafeFile().createUnique(dir.path(), "one", numbered);
    const SafeFile::Created second = SafeFile().createUnique(dir.path(), "two", numbered);
    ASSERT_FALSE(first.error);
    ASSERT_FALSE(second.error);
    EXPECT_EQ(dir.file("shot (2).png"), first.path);
    EXPECT_EQ(dir.file("shot (4).png"), second.path);
    EXPECT_EQ("one", readAll(first.path));
    EXPECT_EQ("taken too", readAll(dir.file("shot (3).png")));
    EXPECT_EQ(QStringList({"shot (2).png", "shot (3).png", "shot (4).png", "shot.png"}),
              entries(dir.path()));
}

// A file that appears after the name was chosen is never replaced: the save
// moves on to the next number.
TEST(SafeFile, CreateUniqueNeverReplacesAFileThatAppearsMeanwhile) {
    TempDir dir;
    const auto racing = [&](int attempt) {
        const QString name = numbered(attempt);
        if (attempt == 1) {
            writeAll(dir.file(name), "someone else's");
        }
        return name;
    };
    const SafeFile::Created created = SafeFile().createUnique(dir.path(), "mine", racing);
    ASSERT_FALSE(created.error);
    EXPECT_EQ(dir.file("shot (2).png"), created.path);
    EXPECT_EQ("someone else's", readAll(dir.file("shot.png")));
    EXPECT_EQ("mine", readAll(created.path));
}

TEST(SafeFile, FailedWritesLeaveNoFileAndTheOldOnesIntact) {
    struct Case {
        const char* name;
        FileCalls calls;
        int error;
    };
    const Case cases[] = {
        {"disk full half-way", failingAfter(1000, ENOSPC), ENOSPC},
        {"disk full at once", failingAfter(0, ENOSPC), ENOSPC},
        {"i/o error", failingAfter(5000, EIO), EIO},
        {"no new files allowed", refusingNewFiles(), EACCES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeAll(dir.file("shot.png"), oldBytes);
        const SafeFile file(c.calls);

        const SafeFile::Created created = file.createUnique(dir.path(), newBytes, numbered);
        EXPECT_EQ(c.error, created.error.value());
        EXPECT_TRUE(created.path.isEmpty());

        EXPECT_EQ(c.error, file.replace(dir.file("shot.png"), newBytes).value());
        EXPECT_EQ(QStringList({"shot.png"}), entries(dir.path()));
        EXPECT_EQ(oldBytes, readAll(dir.file("shot.png")));
    }
}

TEST(SafeFile, ReplaceKeepsThePermissionsOfTheOldFile) {
    TempDir dir;
    const QString path = dir.file("edited.png");
    writeAll(path, oldBytes);
    ASSERT_EQ(0, ::chmod(QFile::encodeName(path).constData(), 0640));
    ASSERT_FALSE(SafeFile().replace(path, newBytes));
    EXPECT_EQ(newBytes, readAll(path));
    struct stat info {};
    ASSERT_EQ(0, ::stat(QFile::encodeName(path).constData(), &info));
    EXPECT_EQ(0640u, info.st_mode & 0777);
    EXPECT_EQ(QStringList({"edited.png"}), entries(dir.path()));
}

TEST(SafeFile, OverwriteInPlaceIsAllNewOrAllOld) {
    TempDir dir;
    const QString path = dir.file("edited.png");
    const QByteArray shorter = "short";

    writeAll(path, oldBytes);
    ASSERT_FALSE(SafeFile(refusingNewFiles()).overwriteInPlace(path, shorter));
    EXPECT_EQ(shorter, readAll(path));

    writeAll(path, oldBytes);
    EXPECT_EQ(ENOSPC, SafeFile(failingAfter(100, ENOSPC)).overwriteInPlace(path, newBytes).value());
    EXPECT_EQ(oldBytes, readAll(path));

    // A file that did not exist is not left half-written.
    const QString fresh = dir.file("fresh.png");
    EXPECT_EQ(ENOSPC,
              SafeFile(failingAfter(100, ENOSPC)).overwriteInPlace(fresh, newBytes).value());
    EXPECT_FALSE(QFile::exists(fresh));
    ASSERT_FALSE(SafeFile().overwriteInPlace(fresh, newBytes));
    EXPECT_EQ(newBytes, readAll(fresh));
}

TEST(SafeFile, CreateFolderMakesParentsAndReportsFailure) {
    TempDir dir;
    EXPECT_FALSE(SafeFile::createFolder(dir.file("a/b/c")));
    EXPECT_TRUE(QFileInfo(dir.file("a/b/c")).isDir());
    EXPECT_FALSE(SafeFile::createFolder(dir.file("a/b/c")));
    writeAll(dir.file("plain"), "x");
    EXPECT_TRUE(SafeFile::createFolder(dir.file("plain/sub")));
}

// The real thing: a tmpfs too small for the new file.
TEST(SafeFile, AFullDiskRefusesTheSaveAndKeepsTheFilesThere) {
    TempDir dir;
    auto mount = testsupport::ScratchMount::make(dir.file("disk"), 64);
    if (!mount) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const QString existing = mount->path() + "/shot.png";
    writeAll(existing, oldBytes);
    const QByteArray big(256 * 1024, 'x');

    const SafeFile::Created created = SafeFile().createUnique(mount->path(), big, numbered);
    EXPECT_EQ(ENOSPC, created.error.value());
    EXPECT_EQ(ENOSPC, SafeFile().replace(existing, big).value());
    EXPECT_EQ(ENOSPC, SafeFile().overwriteInPlace(existing, big).value());
    EXPECT_EQ(oldBytes, readAll(existing));
    EXPECT_EQ(QStringList({"shot.png"}), entries(mount->path()));
}

TEST(SafeFile, AReadOnlyFolderRefusesTheSaveAndKeepsTheFilesThere) {
    TempDir dir;
    auto mount = testsupport::ScratchMount::make(dir.file("disk"), 256);
    QString folder;
    if (mount) {
        folder = mount->path();
        writeAll(folder + "/shot.png", oldBytes);
        ASSERT_TRUE(mount->makeReadOnly());
    } else {
        // Without root a folder without write permission does the same.
        folder = dir.file("locked");
        ASSERT_TRUE(QDir().mkpath(folder));
        writeAll(folder + "/shot.png", oldBytes);
        ASSERT_EQ(0, ::chmod(QFile::encodeName(folder).constData(), 0555));
    }
    const SafeFile::Created created = SafeFile().createUnique(folder, newBytes, numbered);
    EXPECT_TRUE(created.error == std::errc::read_only_file_system ||
                created.error == std::errc::permission_denied)
        << created.error.message();
    EXPECT_TRUE(SafeFile().replace(folder + "/shot.png", newBytes));
    EXPECT_EQ(oldBytes, readAll(folder + "/shot.png"));
    EXPECT_EQ(QStringList({"shot.png"}), entries(folder));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}
