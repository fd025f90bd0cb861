#include "recording/RecordingFiles.h"

#include "app/FilePanels.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "platform/StreamWindows.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>
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
        {"late.mp4", 604801, false},
        {"week.mp4", 604800, true}, // exactly seven days: not more than
        {"early.mp4", 604799, true},
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

app::Recording recordingAt(const QString& file, app::Recording::Format format) {
    app::Recording recording;
    recording.url = QUrl::fromLocalFile(file);
    recording.format = format;
    recording.date = QDateTime(QDate(2025, 3, 4), QTime(9, 15, 2));
    return recording;
}

ino_t inode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

TEST(SaveCopy, NumbersCopiesAndNeverReplacesAFile) {
    testsupport::TempDir dir;
    const QString folder = dir.file(QStringLiteral("Saved"));
    ASSERT_TRUE(QDir().mkpath(folder));
    testsupport::writeAll(dir.file(QStringLiteral("work.mp4")), "movie");
    testsupport::writeAll(dir.file(QStringLiteral("work.gif")), "gif");
    const app::Recording video =
        recordingAt(dir.file(QStringLiteral("work.mp4")), app::Recording::Format::video);
    const app::Recording gif =
        recordingAt(dir.file(QStringLiteral("work.gif")), app::Recording::Format::gif);
    // Someone else's file under the third name is skipped, not replaced.
    const QString base =
        folder + QStringLiteral("/Vexlin Capture Recording 2025-03-04 at 09.15.02");
    testsupport::writeAll(base + QStringLiteral(" (3).mp4"), "theirs");

    struct Case {
        const app::Recording* recording;
        const char* name;
    };
    const Case cases[] = {
        {&video, ".mp4"},
        {&video, " (2).mp4"},
        {&video, " (4).mp4"},
        {&gif, ".gif"},
    };
    for (const Case& c : cases) {
        const app::Result<QString> saved = recording::saveCopy(*c.recording, folder);
        ASSERT_TRUE(saved) << saved.error().description().toStdString();
        EXPECT_EQ(base + QLatin1String(c.name), saved.value());
        // A copy of its own, not a link to the working file.
        EXPECT_NE(inode(c.recording->url.toLocalFile()), inode(saved.value()));
        EXPECT_EQ(testsupport::readAll(c.recording->url.toLocalFile()),
                  testsupport::readAll(saved.value()));
    }
    EXPECT_EQ(QByteArray("theirs"), testsupport::readAll(base + QStringLiteral(" (3).mp4")));
    EXPECT_EQ(5, entries(folder).size()) << entries(folder).join(", ").toStdString();
}

TEST(SaveCopy, FailuresSayWhyAndLeaveNothing) {
    testsupport::TempDir dir;
    const QString folder = dir.file(QStringLiteral("Saved"));
    ASSERT_TRUE(QDir().mkpath(folder));
    testsupport::writeAll(dir.file(QStringLiteral("work.mp4")), "movie");

    const app::Result<QString> gone = recording::saveCopy(
        recordingAt(dir.file(QStringLiteral("missing.mp4")), app::Recording::Format::video),
        folder);
    ASSERT_FALSE(gone);
    EXPECT_EQ(app::FileError::Code::noSuchFile, gone.error().code());

    const app::Result<QString> noFolder = recording::saveCopy(
        recordingAt(dir.file(QStringLiteral("work.mp4")), app::Recording::Format::video),
        dir.file(QStringLiteral("absent")));
    ASSERT_FALSE(noFolder);
    EXPECT_EQ(app::FileError::Code::noSuchFile, noFolder.error().code());
    EXPECT_TRUE(entries(folder).isEmpty());
}

TEST(SaveCopy, FullDiskLeavesNoPartialCopy) {
    testsupport::TempDir dir;
    auto mount = testsupport::ScratchMount::make(dir.file(QStringLiteral("disk")), 64);
    if (!mount) {
        GTEST_SKIP() << "mounting a small disk needs root";
    }
    testsupport::writeAll(dir.file(QStringLiteral("work.mp4")), QByteArray(200 * 1024, 'm'));
    const app::Result<QString> saved = recording::saveCopy(
        recordingAt(dir.file(QStringLiteral("work.mp4")), app::Recording::Format::video),
        mount->path());
    ASSERT_FALSE(saved);
    EXPECT_EQ(app::FileError::Code::writeFailed, saved.error().code());
    EXPECT_TRUE(entries(mount->path()).isEmpty())
        << entries(mount->path()).join(", ").toStdString();
}

// Answers the save panel with a path (or a cancel) and keeps what was asked
// and said.
class AnsweringPanels : public app::FilePanels {
public:
    std::optional<QString> answer;
    std::vector<SaveRequest> requests;
    std::vector<app::FileError> alerts;

    void runSavePanel(const SaveRequest& request, QWidget*, SaveDone done) override {
        requests.push_back(request);
        done(answer);
    }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const app::FileError& error) override { alerts.push_back(error); }
};

class SaveAs : public testing::Test {
protected:
    SaveAs() {
        QDir().mkpath(saveFolder());
        preferences.setSaveFolderBookmark(saveFolder().toUtf8());
        testsupport::writeAll(work, "recorded movie");
    }
    QString saveFolder() const { return dir.file(QStringLiteral("Captures")); }

    // Runs Save As and gives what the completion received; it must run once.
    std::optional<QString> run(const app::Recording& recording) {
        int calls = 0;
        std::optional<QString> result;
        recording::saveAs(recording, nullptr, [&](std::optional<QString> path) {
            ++calls;
            result = std::move(path);
        });
        EXPECT_EQ(1, calls);
        return result;
    }

    testsupport::TempDir dir;
    const QString work = dir.file(QStringLiteral("work.mp4"));
    app::Preferences preferences{dir.file(QStringLiteral("config/VexlinCapture.conf"))};
    app::SaveLocation::ScopedServices location{{&preferences, {}}};
    AnsweringPanels panels;
    app::ScopedFilePanels usePanels{panels};
};

TEST_F(SaveAs, OffersTheRecordingsTypeAndNameInTheSaveFolder) {
    struct Case {
        app::Recording::Format format;
        app::FilePanels::SaveType type;
        const char* name;
    };
    const Case cases[] = {
        {app::Recording::Format::video, app::FilePanels::SaveType::movie,
         "Vexlin Capture Recording 2025-03-04 at 09.15.02.mp4"},
        {app::Recording::Format::gif, app::FilePanels::SaveType::gif,
         "Vexlin Capture Recording 2025-03-04 at 09.15.02.gif"},
    };
    for (const Case& c : cases) {
        panels.requests.clear();
        EXPECT_FALSE(run(recordingAt(work, c.format)));
        ASSERT_EQ(1u, panels.requests.size());
        EXPECT_EQ(c.type, panels.requests[0].type);
        EXPECT_EQ(QLatin1String(c.name), panels.requests[0].fileName);
        EXPECT_EQ(saveFolder(), panels.requests[0].directory.value_or(QString()));
    }
    // A cancelled panel is no failure.
    EXPECT_TRUE(panels.alerts.empty());
}

TEST_F(SaveAs, CopiesOverAnExistingFileAndKeepsTheRecording) {
    const QString target = dir.file(QStringLiteral("mine.mp4"));
    testsupport::writeAll(target, "an older file");
    panels.answer = target;
    EXPECT_EQ(target, run(recordingAt(work, app::Recording::Format::video)));
    EXPECT_EQ(QByteArray("recorded movie"), testsupport::readAll(target));
    EXPECT_EQ(QByteArray("recorded movie"), testsupport::readAll(work));
    EXPECT_TRUE(panels.alerts.empty());
    // No temporary file stays beside it.
    EXPECT_EQ(QStringList({QStringLiteral("Captures"), QStringLiteral("config"),
                           QStringLiteral("mine.mp4"), QStringLiteral("work.mp4")}),
              entries(dir.path()));
}

TEST_F(SaveAs, ChoosingTheRecordingItselfKeepsItAndCountsAsSaved) {
    const QString link = dir.file(QStringLiteral("link.mp4"));
    ASSERT_TRUE(QFile::link(work, link));
    for (const QString& answer : {work, link}) {
        panels.answer = answer;
        EXPECT_EQ(answer, run(recordingAt(work, app::Recording::Format::video)));
        EXPECT_EQ(QByteArray("recorded movie"), testsupport::readAll(work));
        EXPECT_TRUE(QFileInfo(link).isSymLink());
    }
    EXPECT_TRUE(panels.alerts.empty());
}

TEST_F(SaveAs, AFullFolderLeavesTheOldFileAndSaysSo) {
    auto mount = testsupport::ScratchMount::make(dir.file(QStringLiteral("disk")), 64);
    if (!mount) {
        GTEST_SKIP() << "mounting a small disk needs root";
    }
    testsupport::writeAll(work, QByteArray(200 * 1024, 'm'));
    const QString target = mount->path() + QStringLiteral("/old.mp4");
    testsupport::writeAll(target, "the user's file");
    panels.answer = target;
    EXPECT_FALSE(run(recordingAt(work, app::Recording::Format::video)));
    EXPECT_EQ(QByteArray("the user's file"), testsupport::readAll(target));
    EXPECT_EQ(QStringList{QStringLiteral("old.mp4")}, entries(mount->path()));
    ASSERT_EQ(1u, panels.alerts.size());
    EXPECT_EQ(app::FileError::Code::writeFailed, panels.alerts[0].code());
    EXPECT_EQ(target, panels.alerts[0].path());
}

TEST_F(SaveAs, AMissingRecordingIsSaid) {
    panels.answer = dir.file(QStringLiteral("copy.mp4"));
    EXPECT_FALSE(
        run(recordingAt(dir.file(QStringLiteral("gone.mp4")), app::Recording::Format::video)));
    ASSERT_EQ(1u, panels.alerts.size());
    EXPECT_EQ(app::FileError::Code::noSuchFile, panels.alerts[0].code());
    EXPECT_FALSE(QFileInfo::exists(*panels.answer));
}

TEST(ShareCopy, LinksUnderTheRecordingsNameInAFolderOfItsOwn) {
    testsupport::TempDir dir;
    const QString work = dir.file(QStringLiteral("work.gif"));
    testsupport::writeAll(work, "gif");
    const app::Recording gif = recordingAt(work, app::Recording::Format::gif);
    const QString root = dir.file(QStringLiteral("Recordings"));

    const QString first = recording::shareCopy(gif, root);
    const QString second = recording::shareCopy(gif, root);
    for (const QString& shared : {first, second}) {
        EXPECT_EQ(QStringLiteral("Vexlin Capture Recording 2025-03-04 at 09.15.02.gif"),
                  QFileInfo(shared).fileName());
        EXPECT_TRUE(QFileInfo(shared).dir().dirName().startsWith(QStringLiteral("Share-")));
        EXPECT_EQ(inode(work), inode(shared));
    }
    EXPECT_NE(first, second);
    // The link keeps the data when the working file goes.
    ASSERT_TRUE(QFile::remove(work));
    EXPECT_EQ(QByteArray("gif"), testsupport::readAll(first));
}

TEST(ShareCopy, WithoutALinkHandsOutTheRecordingItself) {
    testsupport::TempDir dir;
    const QString root = dir.file(QStringLiteral("Recordings"));
    // A missing file cannot be linked.
    const QString missing = dir.file(QStringLiteral("gone.mp4"));
    EXPECT_EQ(missing,
              recording::shareCopy(recordingAt(missing, app::Recording::Format::video), root));
    auto mount = testsupport::ScratchMount::make(dir.file(QStringLiteral("disk")), 64);
    if (!mount) {
        GTEST_SKIP() << "another volume needs root to mount";
    }
    // Another volume than the share folder's.
    const QString elsewhere = mount->path() + QStringLiteral("/work.mp4");
    testsupport::writeAll(elsewhere, "movie");
    EXPECT_EQ(elsewhere,
              recording::shareCopy(recordingAt(elsewhere, app::Recording::Format::video), root));
    // No empty share folder is left behind.
    EXPECT_TRUE(entries(root).isEmpty()) << entries(root).join(", ").toStdString();
}

TEST(ExcludedAppIDs, HiddenAppsAndNotifications) {
    const QString notifications = platform::notificationAppId();
    struct Case {
        QStringList hidden;
        bool hideNotifications;
        std::set<QString> expected;
    };
    const Case cases[] = {
        {{}, false, {}},
        {{}, true, {notifications}},
        {{QStringLiteral("firefox"), QString(), QStringLiteral("Slack"), QStringLiteral("firefox")},
         false,
         {QStringLiteral("firefox"), QStringLiteral("Slack")}},
        // Ids are kept as they are: letter case tells classes apart.
        {{QStringLiteral("slack"), QStringLiteral("Slack")},
         true,
         {QStringLiteral("slack"), QStringLiteral("Slack"), notifications}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, recording::excludedAppIDs(c.hidden, c.hideNotifications))
            << c.hidden.join(",").toStdString();
    }
}

} // namespace
