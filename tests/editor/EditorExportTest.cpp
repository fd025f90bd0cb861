// Copy, save, save as, pin, share and drag of an editor's document, with the
// window, the panels and the clock played by the test.
#include "editor/export/EditorExport.h"
#include "editor/export/SaveDecision.h"

#include "annotation/CustomColors.h"
#include "annotation/EditStore.h"
#include "annotation/EditorDocument.h"
#include "annotation/Renderer.h"
#include "app/CaptureFileName.h"
#include "app/ContentKey.h"
#include "app/FilePanels.h"
#include "app/ImageEncoding.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"

#include "support/ManualScheduler.h"
#include "support/ScratchMount.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QRandomGenerator>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace editor;
using annotation::Annotation;
using annotation::EditorDocument;
using annotation::EditorState;
using annotation::EditStore;
using annotation::Rect;
using annotation::Shape;
using annotation::ShapeKind;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

const QDateTime captureDate(QDate(2026, 12, 8), QTime(14, 5, 9));
const QString captureName = QStringLiteral("Vexlin Capture 2026-12-08 at 14.05.09");

// Answers each panel from a script and records the alerts.
class ScriptedPanels : public app::FilePanels {
public:
    std::optional<QString> folderAnswer;
    std::optional<QString> saveAnswer;
    int saveRequests = 0;
    std::vector<app::FileError> alerts;

    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override {
        ++saveRequests;
        done(saveAnswer);
    }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        return folderAnswer;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const app::FileError& error) override { alerts.push_back(error); }
};

// The editor window as the export sees it.
class FakeWindow : public ExportHost {
public:
    std::unique_ptr<EditorDocument> shown;
    std::optional<EditorFile> editorFile;
    int textEditingFinished = 0;
    int closed = 0;

    EditorDocument* document() const override { return shown.get(); }
    const std::optional<EditorFile>& file() const override { return editorFile; }
    void setFile(const std::optional<EditorFile>& file) override { editorFile = file; }
    QWidget* window() const override { return nullptr; }
    void finishTextEditing() override { ++textEditingFinished; }
    void closeAfterExport() override { ++closed; }
};

QImage picture(int width = 60, int height = 40) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(30, 120, 200));
    return image;
}

// Pixels no encoder can squeeze: a file larger than a small disk.
QImage noise(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator random(7);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            image.setPixel(x, y, random.generate() | 0xff000000u);
        }
    }
    return image;
}

app::Capture makeCapture(const QImage& image, double scale = 2) {
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = image;
    capture.scale = scale;
    capture.date = captureDate;
    return capture;
}

// A red block at image points (2, 2)–(12, 10): pixels (4, 4)–(24, 20) at scale 2.
Annotation redBlock() {
    return Annotation{QUuid::createUuid(),
                      Shape::area(ShapeKind::filledRectangle, Rect(2, 2, 10, 8)),
                      app::RGBA::fromBytes(255, 0, 0),
                      5,
                      false,
                      annotation::TextStyle::plain};
}

bool isJpeg(const QByteArray& bytes) {
    return bytes.startsWith("\xFF\xD8\xFF");
}
bool isPng(const QByteArray& bytes) {
    return bytes.startsWith("\x89PNG");
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class ExportTest : public testing::Test {
protected:
    ExportTest() {
        preferences.setSaveFolderBookmark(saveFolder().toUtf8());
        QDir().mkpath(saveFolder());
        QDir().mkpath(dir.file("tmp"));
    }

    ExportServices services() {
        ExportServices s;
        s.copyImage = [this](const QImage& image, double scale) {
            copied.push_back(image);
            copiedScale = scale;
        };
        s.pin = [this](const app::Capture& capture) { pinned.push_back(capture); };
        s.share = [this](const QString& file, QWidget* anchor) {
            sharedFiles.push_back(file);
            shareAnchor = anchor;
        };
        s.refreshRecent = [this] { ++refreshed; };
        s.editStore = &store;
        s.now = [] { return QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)); };
        return s;
    }

    QString saveFolder() const { return dir.file("Captures"); }
    QString inSaveFolder(const QString& name) const { return saveFolder() + "/" + name; }

    // Opens a capture (with the file it came from) in the window.
    EditorDocument& open(const app::Capture& capture,
                         const std::optional<EditorFile>& file = std::nullopt) {
        window.shown = std::make_unique<EditorDocument>(capture, EditorState{}, &colours);
        window.editorFile = file;
        return *window.shown;
    }
    // A file on disk opened in the editor, as loading makes its EditorFile.
    EditorDocument& openFile(const QString& path, const QByteArray& bytes,
                             const QImage& image = picture()) {
        writeAll(path, bytes);
        app::Capture capture = makeCapture(image);
        capture.filePath = path;
        return open(capture, EditorFile{path, app::contentKey(bytes), EditorState{}, bytes});
    }
    EditorDocument& document() { return *window.shown; }
    void mark() { document().addAnnotation(redBlock()); }
    bool exported() { return document().exportedState() == document().state(); }

    QByteArray rendering(app::ImageFormat format = app::ImageFormat::png) {
        const std::optional<QImage> image =
            annotation::renderer::render(document().state(), document().sources());
        return *app::encodeImage(*image, format, document().capture().scale);
    }

    testsupport::TempDir dir;
    const testsupport::TempPathOverride temporary{dir.file("tmp")};
    app::Preferences preferences{dir.file("config/VexlinCapture.conf")};
    app::SaveLocation::ScopedServices location{{&preferences, {}}};
    ScriptedPanels panels;
    app::ScopedFilePanels usePanels{panels};
    EditStore store{dir.file("Edits")};
    testsupport::ManualScheduler scheduler;
    ConfirmationBadgeModel badge{scheduler};
    annotation::CustomColors colours{nullptr};
    FakeWindow window;

    std::vector<QImage> copied;
    double copiedScale = 0;
    std::vector<app::Capture> pinned;
    std::vector<QString> sharedFiles;
    QWidget* shareAnchor = nullptr;
    int refreshed = 0;

    EditorExport exporter{window, badge, services()};
};

// ---- the save decision -------------------------------------------------------

TEST(SaveDecisionTest, ChoosesBetweenNothingOverwriteAndANewFile) {
    EditorState marked;
    marked.annotations.push_back(redBlock());
    const QString key = QString(64, QLatin1Char('a'));
    const QString otherKey = QString(64, QLatin1Char('b'));
    const auto fileAt = [&](const QString& path) {
        return EditorFile{path, key, marked, std::nullopt};
    };
    using Action = SaveDecision::Action;
    using app::ImageFormat;
    struct Case {
        const char* what;
        std::optional<EditorFile> file;
        EditorState state;
        FileOnDisk disk;
        SaveDecision expected;
    };
    const Case cases[] = {
        {"never saved", std::nullopt, marked, {}, {Action::newFile, ImageFormat::jpeg}},
        {"unchanged, same bytes",
         fileAt("/a/shot.png"),
         marked,
         {true, key},
         {Action::nothing, ImageFormat::jpeg}},
        {"unchanged, replaced by another program",
         fileAt("/a/shot.png"),
         marked,
         {true, otherKey},
         {Action::overwrite, ImageFormat::png}},
        {"unchanged, unreadable",
         fileAt("/a/shot.png"),
         marked,
         {true, std::nullopt},
         {Action::overwrite, ImageFormat::png}},
        {"unchanged, deleted",
         fileAt("/a/shot.png"),
         marked,
         {false, std::nullopt},
         {Action::newFile, ImageFormat::jpeg}},
        {"changed PNG",
         fileAt("/a/shot.png"),
         EditorState{},
         {true, key},
         {Action::overwrite, ImageFormat::png}},
        {"changed, upper-case JPEG",
         fileAt("/a/shot.JPEG"),
         EditorState{},
         {true, key},
         {Action::overwrite, ImageFormat::jpeg}},
        {"changed, deleted JPG",
         fileAt("/a/shot.jpg"),
         EditorState{},
         {false, std::nullopt},
         {Action::newFile, ImageFormat::jpeg}},
        {"changed HEIC",
         fileAt("/a/shot.heic"),
         EditorState{},
         {true, key},
         {Action::newFile, ImageFormat::jpeg}},
        {"unchanged HEIC, same bytes",
         fileAt("/a/shot.heic"),
         marked,
         {true, key},
         {Action::nothing, ImageFormat::jpeg}},
        {"changed, no extension",
         fileAt("/a/shot"),
         EditorState{},
         {true, key},
         {Action::newFile, ImageFormat::jpeg}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, decideSave(c.file, c.state, c.disk, ImageFormat::jpeg)) << c.what;
    }
}

TEST(SaveDecisionTest, ProbingReadsTheBytesOnlyWhenAsked) {
    testsupport::TempDir dir;
    writeAll(dir.file("a.png"), "bytes");
    const FileOnDisk keyed = probeFile(dir.file("a.png"), true);
    EXPECT_TRUE(keyed.exists);
    EXPECT_EQ(app::contentKey("bytes"), keyed.key);
    EXPECT_FALSE(probeFile(dir.file("a.png"), false).key);
    EXPECT_FALSE(probeFile(dir.file("b.png"), true).exists);
}

// ---- save --------------------------------------------------------------------

TEST_F(ExportTest, ANeverSavedCaptureBecomesANewFileInTheSaveFolder) {
    open(makeCapture(picture()));
    mark();
    preferences.setImageFormat(app::ImageFormat::jpeg);
    writeAll(inSaveFolder(captureName + ".jpg"), "someone else's");

    exporter.save();

    const QString path = inSaveFolder(captureName + " (2).jpg");
    ASSERT_TRUE(window.editorFile);
    EXPECT_EQ(path, window.editorFile->path);
    const QByteArray written = readAll(path);
    EXPECT_TRUE(isJpeg(written));
    EXPECT_EQ("someone else's", readAll(inSaveFolder(captureName + ".jpg")));
    EXPECT_EQ(app::contentKey(written), window.editorFile->key);
    EXPECT_EQ(document().state(), window.editorFile->savedState);
    EXPECT_FALSE(window.editorFile->originalData);
    // The marks are in the file.
    const QImage image = QImage::fromData(written);
    EXPECT_GT(image.pixelColor(10, 10).red(), 200);
    EXPECT_LT(image.pixelColor(40, 30).red(), 80);
    EXPECT_TRUE(exported());
    EXPECT_EQ(1, refreshed);
    ASSERT_TRUE(badge.confirmation());
    EXPECT_EQ(EditorExport::savedText(), badge.confirmation()->text);
    EXPECT_GE(window.textEditingFinished, 1);
    EXPECT_TRUE(panels.alerts.empty());
    // Editable later: the record keeps the unedited picture and the marks.
    const std::optional<EditStore::Edit> edit = store.load(window.editorFile->key);
    ASSERT_TRUE(edit);
    EXPECT_EQ(document().state(), edit->state);
    EXPECT_EQ(QColor(30, 120, 200), edit->capture.image.pixelColor(10, 10));
}

TEST_F(ExportTest, SavingTwiceWithoutAChangeWritesOnceAndSaysSavedTwice) {
    open(makeCapture(picture()));
    mark();
    exporter.save();
    const QString path = window.editorFile->path;
    const QByteArray first = readAll(path);
    // A write would change the file's inode (it is replaced atomically).
    struct stat before {};
    ::stat(QFile::encodeName(path).constData(), &before);
    scheduler.advance(ConfirmationBadgeModel::visibleFor);
    ASSERT_FALSE(badge.confirmation());

    exporter.save();

    struct stat after {};
    ::stat(QFile::encodeName(path).constData(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(first, readAll(path));
    EXPECT_EQ(QStringList({QFileInfo(path).fileName()}), filesIn(saveFolder()));
    ASSERT_TRUE(badge.confirmation());
    EXPECT_EQ(EditorExport::savedText(), badge.confirmation()->text);
    EXPECT_EQ(1, refreshed);
}

TEST_F(ExportTest, AnUnchangedDocumentIsWrittenAgainOverAFileAnotherProgramReplaced) {
    open(makeCapture(picture()));
    mark();
    exporter.save();
    const QString path = window.editorFile->path;
    const QByteArray ours = readAll(path);
    writeAll(path, "another program's picture");

    exporter.save();

    EXPECT_EQ(ours, readAll(path));
    EXPECT_EQ(path, window.editorFile->path);
    EXPECT_EQ(app::contentKey(ours), window.editorFile->key);
    EXPECT_EQ(1, filesIn(saveFolder()).size());
    EXPECT_TRUE(panels.alerts.empty());
}

TEST_F(ExportTest, AFileDeletedBetweenTwoSavesIsWrittenAnewInTheSaveFolder) {
    open(makeCapture(picture()));
    mark();
    exporter.save();
    const QString first = window.editorFile->path;
    QFile::remove(first);

    exporter.save();

    EXPECT_EQ(first, window.editorFile->path); // the name is free again
    EXPECT_EQ(rendering(), readAll(first));
}

TEST_F(ExportTest, AnEditedFileIsWrittenOverInItsOwnFormatAndKeepsItsRecord) {
    // A screenshot saved into the save folder when it was taken.
    const QString path = inSaveFolder(captureName + ".png");
    const QByteArray unedited = *app::encodeImage(picture(), app::ImageFormat::png, 2);
    openFile(path, unedited);
    mark();

    exporter.save();

    EXPECT_EQ(path, window.editorFile->path);
    EXPECT_EQ(rendering(), readAll(path));
    EXPECT_EQ(QStringList({QFileInfo(path).fileName()}), filesIn(saveFolder()));
    const QString key = app::contentKey(readAll(path));
    EXPECT_EQ(key, window.editorFile->key);
    // Reopening the file finds the marks over the unedited picture.
    EXPECT_EQ(unedited, readAll(store.recordFolder(key) + "/original"));
    ASSERT_TRUE(store.load(key));
    EXPECT_EQ(document().state(), store.load(key)->state);

    // A further change moves the record to the new bytes' key.
    document().addAnnotation(redBlock());
    exporter.save();
    const QString newKey = window.editorFile->key;
    EXPECT_NE(key, newKey);
    EXPECT_FALSE(QFileInfo::exists(store.recordFolder(key)));
    EXPECT_EQ(unedited, readAll(store.recordFolder(newKey) + "/original"));
}

TEST_F(ExportTest, EachExtensionDecidesBetweenWritingOverAndANewFile) {
    struct Case {
        const char* name;
        bool overwritten;
        bool jpeg;
    };
    const Case cases[] = {
        {"photo.jpeg", true, true},   {"photo.JPG", true, true},    {"photo.Png", true, false},
        {"photo.heic", false, false}, {"photo.tiff", false, false},
    };
    QDir().mkpath(dir.file("elsewhere"));
    for (const Case& c : cases) {
        const QString path = dir.file(QStringLiteral("elsewhere/") + c.name);
        openFile(path, "the opened file's bytes");
        mark();
        exporter.save();
        ASSERT_TRUE(window.editorFile) << c.name;
        if (c.overwritten) {
            EXPECT_EQ(path, window.editorFile->path) << c.name;
            EXPECT_EQ(c.jpeg, isJpeg(readAll(path))) << c.name;
            EXPECT_EQ(!c.jpeg, isPng(readAll(path))) << c.name;
        } else {
            EXPECT_EQ("the opened file's bytes", readAll(path)) << c.name;
            EXPECT_EQ(saveFolder(), QFileInfo(window.editorFile->path).absolutePath()) << c.name;
            EXPECT_TRUE(isPng(readAll(window.editorFile->path))) << c.name;
            QFile::remove(window.editorFile->path);
        }
        EXPECT_TRUE(exported()) << c.name;
    }
    EXPECT_TRUE(panels.alerts.empty());
}

TEST_F(ExportTest, AnUneditedSaveKeepsNoRecordAndIsItsOwnOriginal) {
    open(makeCapture(picture()));
    exporter.save();
    ASSERT_TRUE(window.editorFile);
    const QByteArray written = readAll(window.editorFile->path);
    EXPECT_EQ(written, window.editorFile->originalData);
    EXPECT_FALSE(QFileInfo::exists(store.recordFolder(window.editorFile->key)));
}

TEST_F(ExportTest, WithoutAFolderAndTheChooserClosedNothingHappens) {
    preferences.setSaveFolderBookmark(std::nullopt);
    open(makeCapture(picture()));
    mark();
    EXPECT_FALSE(exporter.writeImage());
    EXPECT_TRUE(panels.alerts.empty());
    EXPECT_FALSE(window.editorFile);
    EXPECT_FALSE(exported());
    EXPECT_EQ(0, refreshed);
}

TEST_F(ExportTest, AnEmptyEditorHasNothingToExport) {
    EXPECT_FALSE(exporter.writeImage());
    exporter.save();
    exporter.copy();
    exporter.saveAs();
    exporter.pin();
    exporter.share(nullptr);
    EXPECT_TRUE(exporter.dragData()->formats().isEmpty());
    EXPECT_FALSE(badge.confirmation());
    EXPECT_TRUE(copied.empty() && pinned.empty() && sharedFiles.empty());
    EXPECT_EQ(0, panels.saveRequests);
}

// ---- bad input -----------------------------------------------------------------

// Whatever went wrong: an alert, the old file as it was, nothing marked
// exported and the editor's file unchanged.
class FailedSaveTest : public ExportTest {
protected:
    void expectFailedSave(const QString& path, const QByteArray& old, app::FileError::Code code) {
        const std::optional<EditorFile> before = window.editorFile;
        EXPECT_FALSE(exporter.writeImage());
        ASSERT_EQ(1u, panels.alerts.size());
        EXPECT_EQ(code, panels.alerts[0].code()) << panels.alerts[0].description().toStdString();
        if (!path.isEmpty()) {
            EXPECT_EQ(old, readAll(path));
        }
        EXPECT_FALSE(exported());
        EXPECT_EQ(before, window.editorFile);
        EXPECT_EQ(0, refreshed);
        EXPECT_FALSE(badge.confirmation());
    }
};

TEST_F(FailedSaveTest, AReadOnlyFileIsNotWrittenOver) {
    const QString path = dir.file("kept.png");
    openFile(path, "old bytes");
    ASSERT_EQ(0, ::chmod(QFile::encodeName(path).constData(), 0444));
    mark();
    expectFailedSave(path, "old bytes", app::FileError::Code::readOnlyFile);
    EXPECT_TRUE(filesIn(saveFolder()).isEmpty());
}

TEST_F(FailedSaveTest, AFileOnAReadOnlyDiskStaysAsItWas) {
    auto mount = testsupport::ScratchMount::make(dir.file("disk"), 256);
    if (!mount) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const QString path = mount->path() + "/shot.png";
    openFile(path, "old bytes");
    ASSERT_TRUE(mount->makeReadOnly());
    mark();
    expectFailedSave(path, "old bytes", app::FileError::Code::writeFailed);
    EXPECT_TRUE(panels.alerts[0].description().contains("read-only"));
}

TEST_F(FailedSaveTest, AFullDiskDuringAnOverwriteKeepsTheOldFile) {
    auto mount = testsupport::ScratchMount::make(dir.file("disk"), 64);
    if (!mount) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const QString path = mount->path() + "/shot.png";
    const QByteArray old = *app::encodeImage(picture(), app::ImageFormat::png, 2);
    openFile(path, old, noise(200)); // about 160 kB of PNG for a 64 kB disk
    mark();
    expectFailedSave(path, old, app::FileError::Code::writeFailed);
    EXPECT_TRUE(panels.alerts[0].description().contains("enough space"));
    EXPECT_EQ(QStringList({"shot.png"}), filesIn(mount->path()));
}

TEST_F(FailedSaveTest, ASaveFolderThatCannotBeMadeAgainIsSaid) {
    open(makeCapture(picture()));
    mark();
    // The folder was deleted, and a file now stands where its parent was.
    QDir(saveFolder()).removeRecursively();
    preferences.setSaveFolderBookmark(dir.file("blocked/Captures").toUtf8());
    writeAll(dir.file("blocked"), "a file");
    expectFailedSave(QString(), {}, app::FileError::Code::folderNotWritable);
}

TEST_F(ExportTest, ADeletedSaveFolderIsMadeAgainForTheNewFile) {
    const QString path = inSaveFolder(captureName + ".png");
    openFile(path, *app::encodeImage(picture(), app::ImageFormat::png, 2));
    mark();
    QDir(saveFolder()).removeRecursively();

    EXPECT_TRUE(exporter.writeImage());

    EXPECT_EQ(path, window.editorFile->path);
    EXPECT_EQ(rendering(), readAll(path));
    EXPECT_TRUE(panels.alerts.empty());
    EXPECT_TRUE(exported());
}

// ---- the record of a saved file --------------------------------------------------

TEST_F(ExportTest, RecordingASavedFileFollowsThePreviousRecordOrLeavesIt) {
    struct Case {
        const char* what;
        bool replacing;
        bool keepEditable;
        bool previousOriginalAtHand;
        bool previousRecordKept;
        bool newRecord;
    };
    const Case cases[] = {
        {"save over the file", true, true, false, false, true},
        {"save over, original at hand", true, true, true, false, true},
        {"save as elsewhere", false, true, false, true, true},
        {"not kept editable", true, false, false, true, false},
    };
    const QByteArray unedited = *app::encodeImage(picture(), app::ImageFormat::png, 2);
    for (const Case& c : cases) {
        preferences.setKeepAnnotationsEditable(true);
        // The editor's file was saved with marks: its record holds the
        // unedited original.
        const QString previousPath = dir.file(QStringLiteral("previous.png"));
        open(makeCapture(picture()));
        mark();
        writeAll(previousPath, "previous bytes");
        store.save(EditStore::Save{document().capture(), unedited, document().state(),
                                   "previous bytes", previousPath, std::nullopt, captureDate});
        const QString previousKey = app::contentKey("previous bytes");
        window.editorFile = EditorFile{
            previousPath, previousKey, document().state(),
            c.previousOriginalAtHand ? std::optional<QByteArray>(unedited) : std::nullopt};
        document().addAnnotation(redBlock());
        preferences.setKeepAnnotationsEditable(c.keepEditable);

        const QString path = dir.file(QStringLiteral("written.png"));
        writeAll(path, "written bytes");
        exporter.recordSavedFile(path, "written bytes", document(), document().state(),
                                 c.replacing);

        const QString key = app::contentKey("written bytes");
        EXPECT_EQ((EditorFile{path, key, document().state(), std::nullopt}), window.editorFile)
            << c.what;
        EXPECT_EQ(c.previousRecordKept, QFileInfo::exists(store.recordFolder(previousKey)))
            << c.what;
        const std::optional<EditStore::Edit> edit = store.load(key);
        EXPECT_EQ(c.newRecord, edit.has_value()) << c.what;
        if (edit) {
            EXPECT_EQ(document().state(), edit->state) << c.what;
            EXPECT_EQ(unedited, readAll(store.recordFolder(key) + "/original")) << c.what;
        }
        store.removeAll();
    }
}

// ---- save as -------------------------------------------------------------------

TEST_F(ExportTest, SaveAsMakesTheChosenFileTheEditorsFile) {
    const QString opened = inSaveFolder(captureName + ".png");
    const QByteArray unedited = *app::encodeImage(picture(), app::ImageFormat::png, 2);
    openFile(opened, unedited);
    mark();
    QDir().mkpath(dir.file("elsewhere"));
    panels.saveAnswer = dir.file("elsewhere/chosen.jpg");

    exporter.saveAs();

    const QString chosen = *panels.saveAnswer;
    EXPECT_TRUE(isJpeg(readAll(chosen)));
    EXPECT_EQ(unedited, readAll(opened));
    ASSERT_TRUE(window.editorFile);
    EXPECT_EQ(chosen, window.editorFile->path);
    EXPECT_EQ(app::contentKey(readAll(chosen)), window.editorFile->key);
    EXPECT_TRUE(store.load(window.editorFile->key));
    EXPECT_TRUE(exported());
    EXPECT_EQ(EditorExport::savedText(), badge.confirmation()->text);
    EXPECT_EQ(1, refreshed);

    // A further change and Save: the chosen file is written over, not the
    // one the editor had before.
    document().addAnnotation(redBlock());
    exporter.save();
    EXPECT_EQ(chosen, window.editorFile->path);
    EXPECT_EQ(rendering(app::ImageFormat::jpeg), readAll(chosen));
    EXPECT_EQ(unedited, readAll(opened));
}

TEST_F(ExportTest, ACancelledSaveAsChangesNothing) {
    open(makeCapture(picture()));
    mark();
    exporter.saveAs();
    EXPECT_EQ(1, panels.saveRequests);
    EXPECT_FALSE(window.editorFile);
    EXPECT_FALSE(exported());
    EXPECT_FALSE(badge.confirmation());
}

TEST_F(ExportTest, SaveAsForAnotherDocumentLeavesTheNewOneAlone) {
    open(makeCapture(picture()));
    mark();
    // The panel is answered after the window was given other content.
    std::optional<app::FilePanels::SaveDone> pending;
    class LatePanels : public ScriptedPanels {
    public:
        std::optional<SaveDone>* pending;
        void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override {
            *pending = std::move(done);
        }
    } late;
    late.pending = &pending;
    const app::ScopedFilePanels useLate(late);
    exporter.saveAs();
    ASSERT_TRUE(pending);
    open(makeCapture(picture()));
    (*pending)(dir.file("chosen.png"));
    EXPECT_FALSE(window.editorFile);
    EXPECT_FALSE(badge.confirmation());
}

// ---- copy, pin, share, drag ------------------------------------------------------

TEST_F(ExportTest, CopyPutsTheRenderingOnTheClipboardAndMayCloseTheWindow) {
    open(makeCapture(picture()));
    mark();
    exporter.copy();
    ASSERT_EQ(1u, copied.size());
    EXPECT_EQ(QSize(60, 40), copied[0].size());
    EXPECT_GT(copied[0].pixelColor(10, 10).red(), 200);
    EXPECT_EQ(2, copiedScale);
    EXPECT_TRUE(exported());
    EXPECT_EQ(EditorExport::copiedText(), badge.confirmation()->text);
    EXPECT_EQ(0, window.closed);
    EXPECT_FALSE(window.editorFile);

    preferences.setCloseEditorAfterExport(true);
    exporter.copy();
    EXPECT_EQ(1, window.closed);
    exporter.save();
    EXPECT_EQ(2, window.closed);
}

TEST_F(ExportTest, PinAndShareLeaveTheDocumentUnexported) {
    app::Capture capture = makeCapture(picture(), 0.5);
    capture.filePath = dir.file("shot.png");
    open(capture);
    mark();
    QWidget anchor;

    exporter.pin();
    exporter.share(&anchor);

    ASSERT_EQ(1u, pinned.size());
    EXPECT_NE(capture.id, pinned[0].id);
    EXPECT_EQ(1.0, pinned[0].scale);
    EXPECT_EQ(captureDate, pinned[0].date);
    EXPECT_FALSE(pinned[0].filePath);
    EXPECT_EQ(QSize(60, 40), pinned[0].image.size());
    ASSERT_EQ(1u, sharedFiles.size());
    EXPECT_EQ(&anchor, shareAnchor);
    EXPECT_EQ(captureName + ".png", QFileInfo(sharedFiles[0]).fileName());
    EXPECT_TRUE(QFileInfo(sharedFiles[0]).absolutePath().startsWith(dir.file("tmp/Drag-")));
    EXPECT_FALSE(exported());
    EXPECT_FALSE(badge.confirmation());
}

TEST_F(ExportTest, ADragCarriesANewDragFileAndItsBytes) {
    open(makeCapture(picture()));
    mark();
    const std::unique_ptr<QMimeData> first = exporter.dragData();
    const std::unique_ptr<QMimeData> second = exporter.dragData();

    ASSERT_EQ(1, first->urls().size());
    const QString file = first->urls()[0].toLocalFile();
    EXPECT_EQ(captureName + ".png", QFileInfo(file).fileName());
    EXPECT_TRUE(QFileInfo(file).absolutePath().startsWith(dir.file("tmp/Drag-")));
    EXPECT_TRUE(first->hasFormat("text/uri-list"));
    EXPECT_EQ(readAll(file), first->data("image/png"));
    EXPECT_EQ(rendering(), first->data("image/png"));
    // Each drag has its own folder.
    EXPECT_NE(QFileInfo(file).absolutePath(),
              QFileInfo(second->urls()[0].toLocalFile()).absolutePath());
    EXPECT_FALSE(exported());

    // Nowhere to write the file: the drag carries nothing.
    const testsupport::TempPathOverride nowhere(dir.file("missing"));
    EXPECT_TRUE(exporter.dragData()->formats().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.file("missing")));
}

} // namespace
