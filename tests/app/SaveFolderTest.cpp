// The save folder and the Save As panel, with scripted panels in place of
// the dialogs.
#include "app/FileDialogPanels.h"
#include "app/FilePanels.h"
#include "app/ImageFiles.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "app/SavePanel.h"
#include "app/Workspace.h"

#include "platform/SafeFile.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace app;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

// Answers each panel from a script and records what was asked.
class ScriptedPanels : public FilePanels {
public:
    std::deque<std::optional<QString>> folderAnswers;
    std::optional<QString> saveAnswer;
    std::vector<std::optional<QString>> folderStarts;
    std::vector<SaveRequest> saveRequests;
    std::vector<QString> alerts;

    void runSavePanel(const SaveRequest& request, QWidget*, SaveDone done) override {
        saveRequests.push_back(request);
        done(saveAnswer);
    }
    std::optional<QString> chooseFolder(const std::optional<QString>& start) override {
        folderStarts.push_back(start);
        if (folderAnswers.empty()) {
            return std::nullopt;
        }
        std::optional<QString> answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const FileError& error) override {
        alerts.push_back(error.description());
    }
};

class SaveFolderTest : public ::testing::Test {
protected:
    SaveFolderTest()
        : preferences_(dir_.file("config/VexlinCapture.conf"))
        , services_({&preferences_,
                     [this](const QString& folder) {
                         opened_.push_back(folder);
                         return true;
                     }})
        , usePanels_(panels_) {}

    QString folder(const QString& name) const { return dir_.file(name); }
    // Runs a body in the save folder that records the folder it was given.
    Result<QString> work() {
        return SaveLocation::withFolder([this](const QString& folder) -> Result<QString> {
            ran_.push_back(folder);
            return folder;
        });
    }

    testsupport::TempDir dir_;
    Preferences preferences_;
    std::vector<QString> opened_;
    std::vector<QString> ran_;
    SaveLocation::ScopedServices services_;
    ScriptedPanels panels_;
    ScopedFilePanels usePanels_;
};

QImage sample() {
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(qRgb(90, 80, 70));
    return image;
}

const QDateTime captureDate(QDate(2026, 12, 8), QTime(14, 5, 9));

} // namespace

TEST_F(SaveFolderTest, WithoutAFolderTheChooserIsShownAndCancellingIsSilent) {
    EXPECT_FALSE(SaveLocation::resolvedFolder());
    EXPECT_FALSE(SaveLocation::beginAccess());
    const Result<QString> result = work();
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(SaveLocation::isUserCancellation(result.error()));
    EXPECT_TRUE(ran_.empty());
    EXPECT_EQ(1u, panels_.folderStarts.size());
    EXPECT_EQ(std::nullopt, panels_.folderStarts.front());
    EXPECT_FALSE(preferences_.saveFolderBookmark());
}

TEST_F(SaveFolderTest, AChosenFolderIsRememberedAndUsedInTheSameCall) {
    panels_.folderAnswers = {folder("Screenshots")};
    const Result<QString> result = work();
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(folder("Screenshots"), result.value());
    EXPECT_TRUE(QFileInfo(folder("Screenshots")).isDir());
    EXPECT_EQ(folder("Screenshots").toUtf8(), preferences_.saveFolderBookmark());

    // Next time the folder is known: no chooser, and it is where a new
    // chooser would start.
    ASSERT_TRUE(work().ok());
    EXPECT_EQ(1u, panels_.folderStarts.size());
    EXPECT_TRUE(SaveLocation::chooseFolder() == false);
    EXPECT_EQ(folder("Screenshots"), panels_.folderStarts.back());
    EXPECT_EQ(folder("Screenshots").toUtf8(), preferences_.saveFolderBookmark());
}

TEST_F(SaveFolderTest, AMissingFolderIsMadeAgainWithItsParents) {
    ASSERT_TRUE(SaveLocation::remember(folder("gone/deeper/Screenshots")));
    ASSERT_TRUE(work().ok());
    EXPECT_TRUE(QFileInfo(folder("gone/deeper/Screenshots")).isDir());
    EXPECT_TRUE(panels_.folderStarts.empty());

    QDir(folder("gone")).removeRecursively();
    const std::optional<SaveLocation::Access> access = SaveLocation::beginAccess();
    ASSERT_TRUE(access.has_value());
    EXPECT_EQ(folder("gone/deeper/Screenshots"), access->url);
    EXPECT_FALSE(access->isScoped);
    EXPECT_TRUE(QFileInfo(access->url).isDir());
}

// A save folder that cannot take captures is named in the alert, with what is
// really wrong with it; the body does not run where the folder is no folder.
TEST_F(SaveFolderTest, AnUnusableSaveFolderSaysWhatIsWrongWithItsPath) {
    writeAll(folder("plain-file"), "not a folder");
    ASSERT_EQ(0, ::symlink(QFile::encodeName(folder("nowhere")).constData(),
                           QFile::encodeName(folder("dangling")).constData()));
    using Code = FileError::Code;
    struct Case {
        QString folder;
        std::set<Code> codes;
        bool bodyRuns;
    };
    const Case cases[] = {
        {folder("plain-file"), {Code::notAFolder}, false},
        {"/dev/null", {Code::notAFolder}, false},
        {folder("dangling"), {Code::notAFolder}, false},
        {folder("plain-file/Screenshots"), {Code::folderNotWritable}, false},
        {"/proc/vexlin-no-such-folder", {Code::folderNotWritable}, false},
        // A folder that exists but takes no files.
        {"/proc", {Code::folderNotWritable, Code::writeFailed}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        ran_.clear();
        ASSERT_TRUE(SaveLocation::remember(c.folder));
        const Result<QString> saved =
            SaveLocation::withFolder([this](const QString& folder) -> Result<QString> {
                ran_.push_back(folder);
                return writeUniqueFile("bytes", folder, captureDate, ImageFormat::png);
            });
        ASSERT_FALSE(saved.ok());
        EXPECT_TRUE(c.codes.count(saved.error().code())) << int(saved.error().code());
        EXPECT_EQ(c.bodyRuns, !ran_.empty());
        const QString text = saved.error().description();
        EXPECT_TRUE(text.contains(c.folder)) << text.toStdString();
        EXPECT_FALSE(text.contains("doesn’t exist")) << text.toStdString();
        EXPECT_FALSE(text.contains("File exists")) << text.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(folder("nowhere")));
    EXPECT_EQ("not a folder", readAll(folder("plain-file")));
}

// The bookmark holds the path's bytes, which need not be UTF-8: captures
// land in exactly that folder, and the file keeps those bytes when other
// settings change.
TEST(SaveFolderBytes, ALatin1FolderIsUsedAndKeptByteForByte) {
    testsupport::TempDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray latin1 = base + "/caf\xe9";
    ASSERT_EQ(0, ::mkdir(latin1.constData(), 0755));
    const QString settings = dir.file("VexlinCapture.conf");
    // As a person or a script writes it, and in the form QSettings writes bytes.
    const QByteArray forms[] = {
        "[General]\nplaySounds=true\nsaveFolderBookmark=" + latin1 + "\nsaveToDisk=true\n",
        "[General]\nsaveFolderBookmark=\"@ByteArray(" + base + "/caf\\xe9)\"\n",
    };
    for (const QByteArray& form : forms) {
        SCOPED_TRACE(form.toStdString());
        writeAll(settings, form);
        Preferences preferences(settings);
        ASSERT_EQ(latin1, preferences.saveFolderBookmark());
        ScriptedPanels panels;
        const ScopedFilePanels usePanels(panels);
        const SaveLocation::ScopedServices services({&preferences, {}});

        const Result<QString> saved = SaveLocation::withFolder([](const QString& folder) {
            return writeUniqueFile("capture", folder, captureDate, ImageFormat::png);
        });
        ASSERT_TRUE(saved.ok()) << saved.error().description().toStdString();
        const QByteArray file = latin1 + "/Vexlin Capture 2026-12-08 at 14.05.09.png";
        EXPECT_EQ(file, platform::pathBytes(saved.value()));
        struct stat info {};
        EXPECT_EQ(0, ::stat(file.constData(), &info));
        EXPECT_TRUE(panels.folderStarts.empty());
        // Nothing next to it under a damaged name.
        EXPECT_EQ(QStringList({"VexlinCapture.conf"}),
                  QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot));

        preferences.setPlaySounds(false);
        preferences.setCaptureTimer(5);
        const QByteArray after = readAll(settings);
        EXPECT_TRUE(after.contains(form.mid(form.indexOf("saveFolderBookmark")).split('\n')[0]));
        EXPECT_EQ(latin1, Preferences(settings).saveFolderBookmark());
        ASSERT_EQ(0, ::unlink(file.constData()));
    }
    ASSERT_EQ(0, ::rmdir(latin1.constData()));
}

TEST_F(SaveFolderTest, StoredBytesThatAreNoFolderCountAsNoFolder) {
    for (const QByteArray& bytes :
         {QByteArray("relative/path"), QByteArray("\xff\xfe\x00", 3), QByteArray()}) {
        preferences_.setSaveFolderBookmark(bytes);
        EXPECT_FALSE(SaveLocation::resolvedFolder());
        EXPECT_FALSE(SaveLocation::contains("/anything/x.png"));
        EXPECT_FALSE(work().ok());
        // The bytes stay, as an unresolvable bookmark does.
        EXPECT_EQ(bytes, preferences_.saveFolderBookmark());
    }
    EXPECT_EQ(3u, panels_.folderStarts.size());
    EXPECT_FALSE(SaveLocation::remember("relative"));
}

TEST_F(SaveFolderTest, ContainsOnlyFilesDirectlyInTheFolder) {
    ASSERT_TRUE(SaveLocation::remember(folder("Shots")));
    EXPECT_TRUE(SaveLocation::contains(folder("Shots/a.png")));
    EXPECT_TRUE(SaveLocation::contains(folder("Shots/sub/../a.png")));
    EXPECT_FALSE(SaveLocation::contains(folder("Shots/sub/a.png")));
    EXPECT_FALSE(SaveLocation::contains(folder("Shots")));
    EXPECT_FALSE(SaveLocation::contains(folder("Shots2/a.png")));
}

TEST_F(SaveFolderTest, OpenFolderAsksForOneFirstAndOpensIt) {
    panels_.folderAnswers = {folder("Pictures")};
    const Result<bool> opened = SaveLocation::openFolder();
    ASSERT_TRUE(opened.ok());
    EXPECT_TRUE(opened.value());
    EXPECT_EQ(std::vector<QString>({folder("Pictures")}), opened_);

    preferences_.setSaveFolderBookmark(std::nullopt);
    const Result<bool> cancelled = SaveLocation::openFolder();
    ASSERT_FALSE(cancelled.ok());
    EXPECT_TRUE(SaveLocation::isUserCancellation(cancelled.error()));
    EXPECT_EQ(1u, opened_.size());
}

TEST(FolderChooserStart, CurrentFolderElsePicturesElseHome) {
    const QString current = "/home/ann/Shots";
    const QString pictures = "/home/ann/Pictures";
    const QString home = "/home/ann";
    struct Case {
        std::optional<QString> current;
        std::set<QString> folders; // what exists
        QString start;
    };
    const Case cases[] = {
        {current, {current, pictures, home}, current},
        {std::nullopt, {current, pictures, home}, pictures},
        {current, {pictures, home}, pictures}, // the save folder was deleted
        {std::nullopt, {home}, home},          // no Pictures folder made
        {current, {home}, home},
        {QString(), {pictures, home}, pictures},
    };
    for (const Case& c : cases) {
        const auto isFolder = [&c](const QString& path) { return c.folders.count(path) > 0; };
        EXPECT_EQ(folderChooserStart(c.current, pictures, home, isFolder), c.start)
            << c.current.value_or("none").toStdString() << " " << c.folders.size();
    }
    // No Pictures location known at all.
    EXPECT_EQ(
        folderChooserStart(std::nullopt, QString(), home, [](const QString&) { return true; }),
        home);
}

TEST_F(SaveFolderTest, ShowFolderAlertsWithThePathWhenNoProgramOpensIt) {
    // Cancelling the chooser stays silent.
    SaveLocation::showFolder();
    EXPECT_TRUE(panels_.alerts.empty());
    EXPECT_TRUE(opened_.empty());

    ASSERT_TRUE(SaveLocation::remember(folder("Shots")));
    SaveLocation::showFolder();
    EXPECT_EQ(std::vector<QString>{folder("Shots")}, opened_);
    EXPECT_TRUE(panels_.alerts.empty());

    // The desktop's own launcher, as when no file manager is installed.
    std::vector<QUrl> launched;
    const SaveLocation::ScopedServices desktopOpener({&preferences_, {}});
    const Workspace::ScopedServices noLauncher({[&](const QUrl& url) {
                                                    launched.push_back(url);
                                                    return false;
                                                },
                                                {}});
    SaveLocation::showFolder();
    EXPECT_EQ(std::vector<QUrl>{QUrl::fromLocalFile(folder("Shots"))}, launched);
    ASSERT_EQ(1u, panels_.alerts.size());
    EXPECT_TRUE(panels_.alerts[0].contains("“" + folder("Shots") + "”"))
        << panels_.alerts[0].toStdString();

    // A folder that cannot be made is no alert about opening.
    writeAll(folder("plain-file"), "not a folder");
    ASSERT_TRUE(SaveLocation::remember(folder("plain-file/Shots")));
    SaveLocation::showFolder();
    EXPECT_EQ(1u, panels_.alerts.size());
    EXPECT_EQ(1u, launched.size());
}

TEST(SaveLocationCancellation, OnlyTheUsersCancellationCounts) {
    EXPECT_TRUE(SaveLocation::isUserCancellation(FileError::userCancelled()));
    EXPECT_FALSE(SaveLocation::isUserCancellation(
        FileError::writeFailed("/x", std::make_error_code(std::errc::file_exists))));
    EXPECT_FALSE(SaveLocation::isUserCancellation(FileError::noSuchFile("/x")));
    EXPECT_FALSE(SaveLocation::isUserCancellation(FileError::encodingFailed()));
}

TEST_F(SaveFolderTest, SavePanelProposesTheCaptureNameInTheSettingsFormat) {
    ASSERT_TRUE(SaveLocation::remember(folder("Shots")));
    preferences_.setImageFormat(ImageFormat::jpeg);
    saveImageWithPanel(sample(), captureDate, nullptr, 2.0, [](std::optional<QString>) {});
    preferences_.setImageFormat(ImageFormat::png);
    preferences_.setSaveFolderBookmark(std::nullopt);
    saveImageWithPanel(sample(), captureDate, nullptr, 2.0, [](std::optional<QString>) {});
    ASSERT_EQ(2u, panels_.saveRequests.size());
    EXPECT_EQ("Vexlin Capture 2026-12-08 at 14.05.09.jpg", panels_.saveRequests[0].fileName);
    EXPECT_EQ(folder("Shots"), panels_.saveRequests[0].directory);
    EXPECT_EQ("Vexlin Capture 2026-12-08 at 14.05.09.png", panels_.saveRequests[1].fileName);
    EXPECT_EQ(std::nullopt, panels_.saveRequests[1].directory);
    EXPECT_TRUE(panels_.folderStarts.empty());
}

TEST_F(SaveFolderTest, SavePanelWritesTheFormatOfTheChosenExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.png", "PNG"},   {"b.jpg", "JPEG"}, {"c.JPG", "JPEG"},
        {"d.JPEG", "JPEG"}, {"e.tif", "PNG"},  {"f", "PNG"},
    };
    for (const auto& [name, format] : cases) {
        SCOPED_TRACE(name);
        panels_.saveAnswer = folder(name);
        std::optional<QString> result;
        int calls = 0;
        saveImageWithPanel(sample(), captureDate, nullptr, 2.0, [&](std::optional<QString> path) {
            result = path;
            ++calls;
        });
        EXPECT_EQ(1, calls);
        EXPECT_EQ(folder(name), result);
        const QByteArray bytes = readAll(folder(name));
        const QByteArray magic =
            QByteArray(format) == "PNG" ? QByteArray("\x89PNG") : QByteArray("\xff\xd8\xff");
        EXPECT_TRUE(bytes.startsWith(magic));
        EXPECT_EQ(144, qRound(QImage::fromData(bytes).dotsPerMeterX() * 0.0254));
    }
    EXPECT_TRUE(panels_.alerts.empty());
}

TEST_F(SaveFolderTest, SavePanelCancelledSaysNothingAndWritesNothing) {
    panels_.saveAnswer = std::nullopt;
    int calls = 0;
    saveImageWithPanel(sample(), captureDate, nullptr, 1.0, [&](std::optional<QString> path) {
        EXPECT_FALSE(path);
        ++calls;
    });
    EXPECT_EQ(1, calls);
    EXPECT_TRUE(panels_.alerts.empty());
}

// Once the user confirmed the panel, any failure is shown: a write that fails
// and an image that cannot be encoded alike. The file there stays as it was.
TEST_F(SaveFolderTest, SavePanelShowsWriteAndEncodingFailures) {
    testsupport::TempDir scratch;
    auto mount = testsupport::ScratchMount::make(scratch.file("disk"), 64);
    if (mount) {
        writeAll(mount->path() + "/full.png", QByteArray(40 * 1024, 'o'));
        QImage noise(400, 400, QImage::Format_RGB32);
        for (int y = 0; y < 400; ++y) {
            for (int x = 0; x < 400; ++x) {
                noise.setPixel(x, y,
                               qRgb((x * 7919 + y * 104729) % 256, (x * y) % 256, (x ^ y) % 256));
            }
        }
        panels_.saveAnswer = mount->path() + "/full.png";
        std::optional<QString> result = QString("unset");
        saveImageWithPanel(noise, captureDate, nullptr, 1.0,
                           [&](std::optional<QString> path) { result = path; });
        EXPECT_EQ(std::nullopt, result);
        ASSERT_EQ(1u, panels_.alerts.size());
        EXPECT_TRUE(panels_.alerts.back().contains("enough space"));
        EXPECT_EQ(QByteArray(40 * 1024, 'o'), readAll(mount->path() + "/full.png"));
    }

    panels_.alerts.clear();
    panels_.saveAnswer = folder("missing/folder/x.png");
    std::optional<QString> result = QString("unset");
    saveImageWithPanel(sample(), captureDate, nullptr, 1.0,
                       [&](std::optional<QString> path) { result = path; });
    EXPECT_EQ(std::nullopt, result);
    ASSERT_EQ(1u, panels_.alerts.size());
    EXPECT_TRUE(panels_.alerts.back().contains("doesn’t exist"));

    panels_.alerts.clear();
    panels_.saveAnswer = folder("empty.png");
    saveImageWithPanel(QImage(), captureDate, nullptr, 1.0,
                       [&](std::optional<QString> path) { result = path; });
    EXPECT_EQ(std::nullopt, result);
    ASSERT_EQ(1u, panels_.alerts.size());
    EXPECT_TRUE(panels_.alerts.back().contains("couldn’t be encoded"));
    EXPECT_FALSE(QFileInfo::exists(folder("empty.png")));
}

TEST_F(SaveFolderTest, QuickAccessSaveReportsOnlyToACardThatStillExists) {
    panels_.saveAnswer = folder("card.png");
    auto card = std::make_unique<QObject>();
    std::vector<std::optional<QString>> finished;
    saveQuickAccessImageWithPanel(sample(), captureDate, nullptr, card.get(), 1.0,
                                  [&](std::optional<QString> path) { finished.push_back(path); });
    EXPECT_EQ(std::vector<std::optional<QString>>({folder("card.png")}), finished);

    // A card that closed while its panel was open hears nothing.
    class ClosingPanels : public ScriptedPanels {
    public:
        std::unique_ptr<QObject>* card = nullptr;
        void runSavePanel(const SaveRequest& request, QWidget* window, SaveDone done) override {
            card->reset();
            ScriptedPanels::runSavePanel(request, window, std::move(done));
        }
    } closing;
    closing.card = &card;
    closing.saveAnswer = folder("late.png");
    ScopedFilePanels useClosing(closing);
    card = std::make_unique<QObject>();
    saveQuickAccessImageWithPanel(sample(), captureDate, nullptr, card.get(), 1.0,
                                  [&](std::optional<QString> path) { finished.push_back(path); });
    EXPECT_EQ(1u, finished.size());
}
