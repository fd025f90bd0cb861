// Files made from captures: unique names in the save folder, drag files and
// writing over an edited file, and how each fails.
#include "app/ImageFiles.h"
#include "app/Capture.h"
#include "app/ImageEncoding.h"

#include "platform/SafeFile.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace app;
using testsupport::readAll;
using testsupport::TempDir;
using testsupport::TempPathOverride;
using testsupport::writeAll;

namespace {

const QDateTime captureDate(QDate(2026, 12, 8), QTime(14, 5, 9));

QImage sample() {
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(qRgb(30, 120, 200));
    return image;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList entriesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

TEST(WriteUniqueFile, ThreeSavesInOneSecondGetNumberedNames) {
    TempDir dir;
    const QByteArray png = *encodeImage(sample(), ImageFormat::png, 2.0);
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        const Result<QString> written =
            writeUniqueFile(png, dir.path(), captureDate, ImageFormat::png);
        ASSERT_TRUE(written.ok()) << written.error().description().toStdString();
        names << QFileInfo(written.value()).fileName();
    }
    EXPECT_EQ(QStringList({"Vexlin Capture 2026-12-08 at 14.05.09.png",
                           "Vexlin Capture 2026-12-08 at 14.05.09 (2).png",
                           "Vexlin Capture 2026-12-08 at 14.05.09 (3).png"}),
              names);
    EXPECT_EQ(3, filesIn(dir.path()).size());

    const QString first = dir.file(names.first());
    const QImage read(first);
    EXPECT_EQ(144, qRound(read.dotsPerMeterX() * 0.0254));
    const std::optional<Capture> capture = Capture::fromFile(first);
    ASSERT_TRUE(capture.has_value());
    EXPECT_EQ(2.0, capture->scale);
    EXPECT_EQ(QSize(200, 100), capture->image.size());
}

TEST(WriteUniqueFile, TakesTheFirstFreeNumberAndTheFormatsExtension) {
    TempDir dir;
    writeAll(dir.file("Vexlin Capture 2026-12-08 at 14.05.09.jpg"), "first");
    writeAll(dir.file("Vexlin Capture 2026-12-08 at 14.05.09 (3).jpg"), "third");
    const Result<QString> written =
        writeUniqueFile("jpeg bytes", dir.path(), captureDate, ImageFormat::jpeg);
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(dir.file("Vexlin Capture 2026-12-08 at 14.05.09 (2).jpg"), written.value());
    EXPECT_EQ("first", readAll(dir.file("Vexlin Capture 2026-12-08 at 14.05.09.jpg")));
    EXPECT_EQ("third", readAll(dir.file("Vexlin Capture 2026-12-08 at 14.05.09 (3).jpg")));
}

TEST(WriteUniqueFile, AMissingFolderFailsClearly) {
    TempDir dir;
    const Result<QString> written =
        writeUniqueFile("x", dir.file("gone"), captureDate, ImageFormat::png);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(FileError::Code::noSuchFile, written.error().code());
    EXPECT_TRUE(written.error().description().contains(dir.file("gone")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("gone")));
}

TEST(WriteUniqueFile, AFullDiskFailsClearlyAndKeepsTheFilesThere) {
    TempDir dir;
    auto mount = testsupport::ScratchMount::make(dir.file("disk"), 64);
    if (!mount) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const QString existing = mount->path() + "/Vexlin Capture 2026-12-08 at 14.05.09.png";
    const QByteArray old = *encodeImage(sample(), ImageFormat::png, 2.0);
    writeAll(existing, old);

    const QByteArray big(200 * 1024, 'x');
    const Result<QString> written =
        writeUniqueFile(big, mount->path(), captureDate, ImageFormat::png);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(FileError::Code::writeFailed, written.error().code());
    EXPECT_TRUE(written.error().systemError() == std::errc::no_space_on_device);
    EXPECT_TRUE(written.error().description().contains("enough space"));
    EXPECT_EQ(old, readAll(existing));
    EXPECT_EQ(QStringList({QFileInfo(existing).fileName()}), filesIn(mount->path()));
}

TEST(WriteUniqueFile, AReadOnlyFolderFailsClearlyAndKeepsTheFilesThere) {
    TempDir dir;
    auto mount = testsupport::ScratchMount::make(dir.file("disk"), 256);
    const QString folder = mount ? mount->path() : dir.file("locked");
    QDir().mkpath(folder);
    const QString existing = folder + "/Vexlin Capture 2026-12-08 at 14.05.09.png";
    writeAll(existing, "old capture");
    if (mount) {
        ASSERT_TRUE(mount->makeReadOnly());
    } else {
        ASSERT_EQ(0, ::chmod(QFile::encodeName(folder).constData(), 0555));
    }
    const Result<QString> written = writeUniqueFile("new", folder, captureDate, ImageFormat::png);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(FileError::Code::writeFailed, written.error().code());
    const QString text = written.error().description();
    EXPECT_TRUE(text.contains("read-only") || text.contains("permission")) << text.toStdString();
    EXPECT_EQ("old capture", readAll(existing));
    EXPECT_EQ(1, filesIn(folder).size());
}

namespace {

const char* const childFolder = "VEXLIN_KILLED_SAVE_FOLDER";
const char* const childImage = "VEXLIN_KILLED_SAVE_IMAGE";
const char* const childNamed = "VEXLIN_KILLED_SAVE_NAMED";

constexpr int childSaves = 8;

// A 3840×2160 screenshot: flat areas and a band of noise, so the PNG is a few
// megabytes and a save takes long enough to be killed in the middle.
QByteArray fourKCapture() {
    QImage image(3840, 2160, QImage::Format_RGB32);
    image.fill(qRgb(40, 90, 160));
    QRandomGenerator noise(7);
    for (int y = 800; y < 1400; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            line[x] = 0xFF000000u | (noise.generate() & 0xFFFFFFu);
        }
    }
    return *encodeImage(image, ImageFormat::png, 1.0);
}

} // namespace

// Run by the test below as a child process, which it kills: eight saves of
// the same capture into one folder.
TEST(KilledSave, DISABLED_Child) {
    const QString folder = qEnvironmentVariable(childFolder);
    ASSERT_FALSE(folder.isEmpty());
    const QByteArray png = readAll(qEnvironmentVariable(childImage));
    for (int i = 0; i < childSaves; ++i) {
        if (qEnvironmentVariableIsSet(childNamed)) {
            // As on a file system without nameless files.
            platform::FileCalls calls = platform::FileCalls::system();
            const auto open = calls.open;
            calls.open = [open](const char* path, int flags, mode_t mode) {
                if ((flags & O_TMPFILE) == O_TMPFILE) {
                    errno = EOPNOTSUPP;
                    return -1;
                }
                return open(path, flags, mode);
            };
            const QString base = "Vexlin Capture 2026-12-08 at 14.05.09";
            ASSERT_FALSE(platform::SafeFile(calls)
                             .createUnique(folder, png,
                                           [&](int n) {
                                               return n == 1 ? base + ".png"
                                                             : base + QString(" (%1).png").arg(n);
                                           })
                             .error);
        } else {
            ASSERT_TRUE(writeUniqueFile(png, folder, captureDate, ImageFormat::png).ok());
        }
    }
}

// A kill at any point of a save leaves the old files as they were, every
// finished file whole, and nothing unfinished: nameless files vanish with the
// process; named ones carry our prefix and go with the next save once old.
TEST(KilledSave, LeavesOldFilesWholeAndNothingUnfinished) {
    TempDir dir;
    const QByteArray png = fourKCapture();
    ASSERT_FALSE(QImage::fromData(png).isNull());
    writeAll(dir.file("capture.png"), png);
    const QString folder = dir.file("Screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QMap<QString, QByteArray> old = {
        {"Vexlin Capture 2026-12-08 at 14.05.09.png", "the first capture"},
        {"Vexlin Capture 2026-12-08 at 14.05.09 (4).png", png.left(100000)},
        {"notes.txt", "mine"},
    };
    for (auto it = old.begin(); it != old.end(); ++it) {
        writeAll(folder + '/' + it.key(), it.value());
    }
    const QString prefix = QString::fromLatin1(platform::unfinishedPrefix);

    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "nameless");
        const auto run = [&](std::optional<int> killAfterMs) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(childFolder, folder);
            environment.insert(childImage, dir.file("capture.png"));
            if (named) {
                environment.insert(childNamed, "1");
            }
            child.setProcessEnvironment(environment);
            child.start("/proc/self/exe", {"--gtest_also_run_disabled_tests",
                                           "--gtest_filter=KilledSave.DISABLED_Child"});
            EXPECT_TRUE(child.waitForStarted());
            QElapsedTimer clock;
            clock.start();
            if (killAfterMs) {
                QThread::msleep(*killAfterMs);
                ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            }
            EXPECT_TRUE(child.waitForFinished(120000));
            if (!killAfterMs) {
                EXPECT_EQ(0, child.exitCode()) << child.readAllStandardOutput().toStdString();
            }
            return clock.elapsed();
        };
        // One run to the end gives the time that the kills are spread over.
        const qint64 whole = run(std::nullopt);
        for (int round = 0; round <= 5; ++round) {
            if (round > 0) {
                run(static_cast<int>(QRandomGenerator::global()->bounded(whole)));
            }
            int finished = 0;
            for (const QString& name : entriesIn(folder)) {
                if (old.contains(name)) {
                    EXPECT_EQ(old.value(name), readAll(folder + '/' + name)) << name.toStdString();
                } else if (name.startsWith(prefix) && named) {
                    // Left by the kill; recognisable as ours.
                } else {
                    ASSERT_TRUE(name.startsWith("Vexlin Capture 2026-12-08 at 14.05.09 ("))
                        << "round " << round << ": " << name.toStdString();
                    // The same bytes as a picture that decodes (checked once above).
                    EXPECT_TRUE(readAll(folder + '/' + name) == png) << name.toStdString();
                    QFile::remove(folder + '/' + name);
                    ++finished;
                }
            }
            if (round == 0) {
                EXPECT_EQ(childSaves, finished);
            }
        }
        // Named leftovers of an hour ago go with the next save.
        for (const QString& name : entriesIn(folder)) {
            if (name.startsWith(prefix)) {
                const timeval then{::time(nullptr) - 2 * 3600, 0};
                const timeval times[2] = {then, then};
                ASSERT_EQ(0, ::utimes(QFile::encodeName(folder + '/' + name).constData(), times));
            }
        }
        const Result<QString> next = writeUniqueFile("next", folder, captureDate, ImageFormat::png);
        ASSERT_TRUE(next.ok());
        QFile::remove(next.value());
        QStringList left = entriesIn(folder);
        left.sort();
        EXPECT_EQ(QStringList(old.keys()), left);
    }
}

TEST(WriteDragFile, EachCallMakesItsOwnFolderWithTheCaptureName) {
    const TempDir temp;
    const TempPathOverride tempPath(temp.path());
    const std::optional<QString> first = writeDragFile(sample(), captureDate, 2.0);
    const std::optional<QString> second = writeDragFile(sample(), captureDate, 2.0);
    ASSERT_TRUE(first && second);
    EXPECT_NE(QFileInfo(*first).path(), QFileInfo(*second).path());
    const QRegularExpression folderName(
        "^Drag-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    for (const QString& path : {*first, *second}) {
        const QFileInfo file(path);
        EXPECT_EQ(temp.path(), QFileInfo(file.path()).path());
        EXPECT_TRUE(folderName.match(file.dir().dirName()).hasMatch()) << path.toStdString();
        EXPECT_EQ("Vexlin Capture 2026-12-08 at 14.05.09.png", file.fileName());
        EXPECT_EQ(QStringList({file.fileName()}), filesIn(file.path()));
        EXPECT_EQ(144, qRound(QImage(path).dotsPerMeterX() * 0.0254));
        // The temporary folder is shared; the drag folder is this user's alone.
        EXPECT_EQ(QFileInfo(file.path()).permissions() & 0x0077, 0) << path.toStdString();
    }
}

TEST(WriteDragFile, AFailureLeavesNoFolderBehind) {
    const TempDir temp;
    {
        const TempPathOverride tempPath(temp.path());
        EXPECT_FALSE(writeDragFile(QImage(), captureDate, 1.0).has_value());
        EXPECT_EQ(QStringList(), entriesIn(temp.path()));
    }
    {
        // A temporary folder that does not exist resolves to nothing, not to /.
        const TempPathOverride tempPath(temp.file("missing"));
        const std::optional<QString> written = writeDragFile(sample(), captureDate, 1.0);
        EXPECT_FALSE(written.has_value()) << written->toStdString();
        EXPECT_EQ(QStringList(), entriesIn(temp.path()));
    }

    // A disk too small for the file: the folder is made, the write fails.
    auto mount = testsupport::ScratchMount::make(temp.file("disk"), 16);
    if (!mount) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const TempPathOverride tempPath(mount->path());
    QImage noise(256, 256, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x) {
            noise.setPixel(x, y, random.generate() | 0xff000000u);
        }
    }
    EXPECT_FALSE(writeDragFile(noise, captureDate, 1.0).has_value());
    EXPECT_EQ(QStringList(), entriesIn(mount->path()));
}

TEST(WriteDataAtomicallyOrDirect, ReplacesTheFileOrLeavesItAlone) {
    TempDir dir;
    const QString path = dir.file("edited.png");
    writeAll(path, "before");
    ASSERT_TRUE(writeDataAtomicallyOrDirect("after", path).ok());
    EXPECT_EQ("after", readAll(path));
    EXPECT_EQ(QStringList({"edited.png"}), filesIn(dir.path()));

    const Result<Done> missingFolder =
        writeDataAtomicallyOrDirect("x", dir.file("gone/edited.png"));
    ASSERT_FALSE(missingFolder.ok());
    EXPECT_EQ(FileError::Code::writeFailed, missingFolder.error().code());
}

// A folder that refuses new files while the file itself may be written: the
// temporary file cannot be made, so the file is written in place. Root may
// write anywhere, so as root the test acts as the user "nobody" for the write.
TEST(WriteDataAtomicallyOrDirect, FallsBackToWritingInPlaceWhereTheFolderRefusesNewFiles) {
    TempDir dir;
    const QString folder = dir.file("locked");
    const QString path = folder + "/edited.png";
    QDir().mkpath(folder);
    writeAll(path, "before");
    const bool root = ::geteuid() == 0;
    constexpr uid_t nobody = 65534;
    if (root) {
        ASSERT_EQ(0, ::chmod(QFile::encodeName(dir.path()).constData(), 0755));
        ASSERT_EQ(0, ::chown(QFile::encodeName(path).constData(), nobody, nobody));
    }
    ASSERT_EQ(0, ::chmod(QFile::encodeName(folder).constData(), 0555));
    if (root) {
        ASSERT_EQ(0, ::seteuid(nobody));
    }
    const Result<Done> written = writeDataAtomicallyOrDirect("after, and longer than before", path);
    const Result<Done> refused = writeDataAtomicallyOrDirect("x", folder + "/new.png");
    if (root) {
        ASSERT_EQ(0, ::seteuid(0));
    }
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    ASSERT_TRUE(written.ok()) << written.error().description().toStdString();
    EXPECT_EQ("after, and longer than before", readAll(path));
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(QStringList({"edited.png"}), filesIn(folder));
}

TEST(WriteDataAtomicallyOrDirect, LeavesAReadOnlyFileAlone) {
    TempDir dir;
    const QString path = dir.file("kept.png");
    writeAll(path, "before");
    ASSERT_EQ(0, ::chmod(QFile::encodeName(path).constData(), 0444));
    const Result<Done> written = writeDataAtomicallyOrDirect("after", path);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(FileError::Code::readOnlyFile, written.error().code());
    EXPECT_TRUE(written.error().description().contains("read-only"));
    EXPECT_EQ("before", readAll(path));
    EXPECT_EQ(QStringList({"kept.png"}), filesIn(dir.path()));
}

TEST(WriteDataAtomicallyOrDirect, WritesThroughASymbolicLink) {
    TempDir dir;
    QDir().mkpath(dir.file("real"));
    writeAll(dir.file("real/shot.png"), "before");
    ASSERT_TRUE(QFile::link(dir.file("real/shot.png"), dir.file("link.png")));
    ASSERT_TRUE(writeDataAtomicallyOrDirect("after", dir.file("link.png")).ok());
    EXPECT_TRUE(QFileInfo(dir.file("link.png")).isSymLink());
    EXPECT_EQ("after", readAll(dir.file("real/shot.png")));
}

namespace {

// A drag folder as writeDragFile leaves it, last changed `age` seconds ago.
QString makeDragFolder(const QString& temp, const QString& name, const QStringList& files,
                       qint64 age, const QDateTime& now) {
    const QString folder = temp + "/" + name;
    QDir().mkpath(folder);
    for (const QString& file : files) {
        writeAll(folder + "/" + file, "png");
    }
    const timeval changed{static_cast<time_t>(now.addSecs(-age).toSecsSinceEpoch()), 0};
    const timeval times[2] = {changed, changed};
    ::utimes(QFile::encodeName(folder).constData(), times);
    return folder;
}

} // namespace

TEST(RemoveOldDragFolders, RemovesOnlyOurFoldersOlderThanThreeDays) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString uuid = "0F8FAD5B-D9CB-469F-A165-70867728950E";
    const QString capture = "Vexlin Capture 2026-12-08 at 14.05.09.png";
    const qint64 days = 24 * 60 * 60;
    struct Case {
        const char* what;
        QString name;
        QStringList files;
        qint64 age;
        bool removed;
    };
    const Case cases[] = {
        {"ours, four days old", "Drag-" + uuid, {capture}, 4 * days, true},
        {"ours, left empty", "Drag-" + uuid.left(35) + "1", {}, 4 * days, true},
        {"ours, two days old", "Drag-" + uuid.left(35) + "2", {capture}, 2 * days, false},
        {"another program's name", "Drag-" + uuid.toLower(), {capture}, 4 * days, false},
        {"another program's file", "Drag-" + uuid.left(35) + "3", {"notes.txt"}, 4 * days, false},
        {"ours with a stranger",
         "Drag-" + uuid.left(35) + "4",
         {capture, "x.txt"},
         4 * days,
         false},
        {"not a drag folder", "Vexlin-" + uuid, {capture}, 4 * days, false},
    };
    TempDir temp;
    for (const Case& c : cases) {
        makeDragFolder(temp.path(), c.name, c.files, c.age, now);
    }
    removeOldDragFolders(temp.path(), now);
    for (const Case& c : cases) {
        EXPECT_EQ(!c.removed, QFileInfo::exists(temp.file(c.name))) << c.what;
    }
}

TEST(ReadData, GivesTheBytesOrSaysTheFileIsMissing) {
    TempDir dir;
    writeAll(dir.file("a.png"), "bytes");
    EXPECT_EQ("bytes", readData(dir.file("a.png")).value());
    EXPECT_TRUE(fileExists(dir.file("a.png")));
    const Result<QByteArray> missing = readData(dir.file("b.png"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(FileError::Code::noSuchFile, missing.error().code());
    EXPECT_FALSE(fileExists(dir.file("b.png")));
}
