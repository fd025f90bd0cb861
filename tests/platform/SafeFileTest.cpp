#include "platform/SafeFile.h"

#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/time.h>

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

bool createsAFile(int flags) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

// Refuses to create new files, as a folder the program may not write into.
FileCalls refusingNewFiles(FileCalls calls = FileCalls::system()) {
    const auto open = calls.open;
    calls.open = [=](const char* path, int flags, mode_t mode) {
        if (createsAFile(flags)) {
            errno = EACCES;
            return -1;
        }
        return open(path, flags, mode);
    };
    return calls;
}

// A file system without nameless files (vfat, some network and FUSE ones):
// every write takes the named way.
FileCalls withoutNamelessFiles(FileCalls calls = FileCalls::system()) {
    const auto open = calls.open;
    calls.open = [=](const char* path, int flags, mode_t mode) {
        if ((flags & O_TMPFILE) == O_TMPFILE) {
            errno = EOPNOTSUPP;
            return -1;
        }
        return open(path, flags, mode);
    };
    return calls;
}

// Counts the files created each way.
struct Opened {
    int nameless = 0;
    int named = 0;
};
FileCalls counting(FileCalls calls, std::shared_ptr<Opened> opened) {
    const auto open = calls.open;
    calls.open = [=](const char* path, int flags, mode_t mode) {
        const int fd = open(path, flags, mode);
        if (fd >= 0 && (flags & O_TMPFILE) == O_TMPFILE) {
            ++opened->nameless;
        } else if (fd >= 0 && (flags & O_CREAT)) {
            ++opened->named;
        }
        return fd;
    };
    return calls;
}

// Both ways of writing: nameless where the file system allows it, else named.
struct Way {
    const char* name;
    FileCalls (*calls)(FileCalls);
};
FileCalls asIs(FileCalls calls) {
    return calls;
}
const Way ways[] = {{"nameless", asIs}, {"named", withoutNamelessFiles}};

void age(const QString& path, int seconds) {
    const timeval then{::time(nullptr) - seconds, 0};
    const timeval times[2] = {then, then};
    ASSERT_EQ(0, ::lutimes(QFile::encodeName(path).constData(), times));
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
    for (const Way& way : ways)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(way.name) + ", " + c.name);
            TempDir dir;
            writeAll(dir.file("shot.png"), oldBytes);
            const SafeFile file(way.calls(c.calls));

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

// Both ways publish the same files: exclusive names for new files, rename
// over an old one, the old file's permissions kept. Only where the file
// system has no nameless files is a named unfinished file made at all.
TEST(SafeFile, NamelessAndNamedWaysGiveTheSameFilesAndLeaveNothingElse) {
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        TempDir dir;
        writeAll(dir.file("shot.png"), oldBytes);
        ASSERT_EQ(0, ::chmod(QFile::encodeName(dir.file("shot.png")).constData(), 0640));
        const auto opened = std::make_shared<Opened>();
        const SafeFile file(counting(way.calls(FileCalls::system()), opened));

        const SafeFile::Created first = file.createUnique(dir.path(), "one", numbered);
        const SafeFile::Created second = file.createUnique(dir.path(), "two", numbered);
        ASSERT_FALSE(first.error);
        ASSERT_FALSE(second.error);
        EXPECT_EQ(dir.file("shot (2).png"), first.path);
        EXPECT_EQ(dir.file("shot (3).png"), second.path);
        ASSERT_FALSE(file.replace(dir.file("shot.png"), newBytes));
        ASSERT_FALSE(file.replace(dir.file("fresh.png"), "fresh"));

        EXPECT_EQ(QStringList({"fresh.png", "shot (2).png", "shot (3).png", "shot.png"}),
                  entries(dir.path()));
        EXPECT_EQ("one", readAll(first.path));
        EXPECT_EQ("two", readAll(second.path));
        EXPECT_EQ(newBytes, readAll(dir.file("shot.png")));
        EXPECT_EQ("fresh", readAll(dir.file("fresh.png")));
        struct stat info {};
        ASSERT_EQ(0, ::stat(QFile::encodeName(dir.file("shot.png")).constData(), &info));
        EXPECT_EQ(0640u, info.st_mode & 0777);
        const bool nameless = way.calls == asIs;
        EXPECT_EQ(nameless ? 4 : 0, opened->nameless);
        EXPECT_EQ(nameless ? 0 : 4, opened->named);
    }
}

// What a kill left behind is removed before the next write into the folder,
// but only files of ours by name, kind and owner, and only once they are an
// hour old: a younger one may be another save still running.
TEST(SafeFile, OldUnfinishedFilesOfOursGoBeforeTheNextWrite) {
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        TempDir dir;
        const QString prefix = QString::fromLatin1(platform::unfinishedPrefix);
        struct Stray {
            QString name;
            int ageSeconds;
            bool removed;
        };
        const Stray strays[] = {
            {prefix + "k3j9", 2 * 3600, true},
            {prefix + "fresh", 600, false},
            {".new.1x2y3z.tmp", 2 * 3600, true}, // an earlier build's name
            {".new.photo.png.tmp", 2 * 3600, false},
            {".new.ABC.tmp", 2 * 3600, false},
            {"vexlin-unfinished-visible", 2 * 3600, false},
            {".shot.png.abc.tmp", 2 * 3600, false},
        };
        for (const Stray& stray : strays) {
            writeAll(dir.file(stray.name), "left by a kill");
            age(dir.file(stray.name), stray.ageSeconds);
        }
        // Not regular files: left alone whatever their name.
        ASSERT_TRUE(QDir().mkdir(dir.file(prefix + "folder")));
        age(dir.file(prefix + "folder"), 2 * 3600);
        ASSERT_EQ(
            0, ::symlink("/nonexistent", QFile::encodeName(dir.file(prefix + "link")).constData()));
        age(dir.file(prefix + "link"), 2 * 3600);
        // Another user's file, where the test may make one.
        const QString foreign = dir.file(prefix + "foreign");
        writeAll(foreign, "someone else's");
        age(foreign, 2 * 3600);
        const bool chowned =
            ::geteuid() == 0 && ::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0;

        ASSERT_FALSE(SafeFile(way.calls(FileCalls::system()))
                         .createUnique(dir.path(), "new", numbered)
                         .error);
        const QStringList left =
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const Stray& stray : strays) {
            EXPECT_EQ(!stray.removed, left.contains(stray.name)) << stray.name.toStdString();
        }
        EXPECT_TRUE(left.contains(prefix + "folder"));
        EXPECT_TRUE(left.contains(prefix + "link"));
        EXPECT_EQ(chowned, left.contains(prefix + "foreign"));
        EXPECT_TRUE(left.contains("shot.png"));
    }
}

TEST(PathBytes, AnyBytesSurviveTheTripThroughText) {
    const QByteArray cases[] = {
        "/home/me/Pictures",
        "/tmp/caf\xc3\xa9", // UTF-8
        "/tmp/caf\xe9",     // Latin-1
        "/tmp/\xe9\xe9/x\xff",
        "/tmp/\xc0\xaf",             // an overlong '/'
        "/tmp/\xed\xa0\x80",         // an encoded surrogate
        "/tmp/\xf0\x9f\x93\xb7",     // a 4-byte character
        "/tmp/\xf0\x90\x82\x80\xe9", // one whose low surrogate is in the escape range
        "/tmp/cut\xe2\x82",          // a sequence cut short
        "/tmp/\xf4\x90\x80\x80",     // past U+10FFFF
    };
    for (const QByteArray& bytes : cases) {
        const QString text = platform::pathText(bytes);
        EXPECT_EQ(bytes.toHex(), platform::pathBytes(text).toHex()) << bytes.toHex().constData();
        if (QString::fromUtf8(bytes).toUtf8() == bytes) {
            EXPECT_EQ(QFile::decodeName(bytes), text) << bytes.toHex().constData();
        }
    }
    EXPECT_EQ(QFile::encodeName(QString::fromUtf8("/tmp/ü/a")),
              platform::pathBytes(QString::fromUtf8("/tmp/ü/a")));

    // And reach the file system as they are.
    TempDir dir;
    const QString folder = platform::pathText(QFile::encodeName(dir.path()) + "/caf\xe9");
    ASSERT_FALSE(SafeFile::createFolder(folder));
    const SafeFile::Created created = SafeFile().createUnique(folder, "bytes", numbered);
    ASSERT_FALSE(created.error);
    EXPECT_EQ(folder + "/shot.png", created.path);
    struct stat info {};
    EXPECT_EQ(0, ::stat((QFile::encodeName(dir.path()) + "/caf\xe9/shot.png").constData(), &info));
    ASSERT_EQ(0, ::unlink((QFile::encodeName(dir.path()) + "/caf\xe9/shot.png").constData()));
    ASSERT_EQ(0, ::rmdir((QFile::encodeName(dir.path()) + "/caf\xe9").constData()));
}
