// Content for the editor from captures and files, and where it opens.
#include "EditorWindowFixture.h"

#include "annotation/Renderer.h"
#include "app/AppPresence.h"
#include "app/ContentKey.h"

#include <QDir>

#include <limits>

namespace {

using namespace editortest;

TEST(EditorInitialFrame, FitsThePictureWithoutEverEnlargingIt) {
    const QRectF laptop(0, 0, 1440, 875);
    const QRectF desktop(100, 30, 1920, 1050);
    const struct {
        const char* name;
        QSizeF content;
        QRectF visible;
        bool strip;
        QSizeF size;
    } cases[] = {
        {"empty, strip", {}, laptop, true, {860, 617}},
        {"empty, no strip", {}, laptop, false, {860, 520}},
        // 4000 × 3000 pixels at scale 2: k = 490.75 / 1500.
        {"large capture", {2000, 1500}, laptop, true, {860, 743.75}},
        {"large capture, no strip", {2000, 1500}, laptop, false, {860, 743.75}},
        {"small capture", {300, 200}, laptop, true, {860, 617}},
        {"wide capture", {1200, 300}, desktop, true, {1256, 617}},
        {"tall capture",
         {500, 1400},
         desktop,
         false,
         {std::max(860.0, 500 * (0.85 * 1050 - 156) / 1400 + 56), 0.85 * 1050}},
        {"zero height", {500, 0}, laptop, true, {860, 617}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QRectF frame = EditorWindowController::initialFrame(c.content, c.visible, c.strip);
        EXPECT_NEAR(frame.width(), c.size.width(), 1e-9);
        EXPECT_NEAR(frame.height(), c.size.height(), 1e-9);
        EXPECT_NEAR(frame.center().x(), c.visible.center().x(), 1e-9);
        EXPECT_NEAR(frame.center().y(), c.visible.center().y(), 1e-9);
    }
}

TEST_F(EditorWindows, ContentGoesToTheFirstEmptyEditorElseToANewWindow) {
    const int windowsBefore = app::AppPresence::shared().openAppWindowCount();
    EditorWindowController* full =
        EditorWindowController::open(EditorContent::forCapture(captureOf(solid(10, 10))));
    EditorWindowController* firstEmpty = EditorWindowController::open(std::nullopt);
    EditorWindowController* secondEmpty = EditorWindowController::open(std::nullopt);
    ASSERT_EQ(editors().size(), 3u);
    EXPECT_EQ(calls.opened, 3);
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), windowsBefore + 3);
    EXPECT_TRUE(firstEmpty->window()->isVisible());

    EditorWindowController::openContent(EditorContent::forCapture(captureOf(solid(20, 20))));
    ASSERT_NE(firstEmpty->model().document(), nullptr);
    EXPECT_EQ(firstEmpty->model().document()->capture().image.width(), 20);
    EXPECT_EQ(secondEmpty->model().document(), nullptr);
    EXPECT_EQ(full->model().document()->capture().image.width(), 10);

    // A file opens the same way.
    EditorWindowController::open(writeFile(QStringLiteral("shot.png"), pngAt(72, solid(30, 30))));
    ASSERT_NE(secondEmpty->model().document(), nullptr);
    EXPECT_EQ(secondEmpty->model().document()->capture().image.width(), 30);
    EXPECT_EQ(editors().size(), 3u);

    // Every editor shows something now: the next capture gets a window.
    EditorWindowController::openContent(EditorContent::forCapture(captureOf(solid(40, 40))));
    ASSERT_EQ(editors().size(), 4u);
    EXPECT_EQ(editors().back()->model().document()->capture().image.width(), 40);
    EXPECT_EQ(calls.opened, 4);
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), windowsBefore + 4);

    closeAll();
    EXPECT_TRUE(editors().empty());
    EXPECT_EQ(calls.closed, 4);
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), windowsBefore);
}

TEST_F(EditorWindows, ACaptureSavedBeforeComesWithItsFile) {
    const QByteArray bytes = pngAt(144, solid(8, 6));
    app::Capture saved = captureOf(solid(8, 6), 2);
    saved.filePath = writeFile(QStringLiteral("saved.png"), bytes);
    const EditorContent content = EditorContent::forCapture(saved);
    ASSERT_TRUE(content.file);
    EXPECT_EQ(content.file->path, *saved.filePath);
    EXPECT_EQ(content.file->key, app::contentKey(bytes));
    EXPECT_EQ(content.file->savedState, annotation::EditorState{});
    EXPECT_EQ(content.file->originalData, bytes);
    EXPECT_EQ(content.state, annotation::EditorState{});

    // A file that went away: the capture opens as if never saved.
    app::Capture gone = saved;
    gone.filePath = dir.file(QStringLiteral("gone.png"));
    EXPECT_FALSE(EditorContent::forCapture(gone).file);
}

TEST_F(EditorWindows, AFileOpensWithTheEditsStoredForItsBytes) {
    const QImage original = solid(60, 40, Qt::red);
    annotation::EditorState state;
    state.annotations.push_back(rectangleMark());
    state.background.isEnabled = true;
    const QByteArray flattened = pngAt(144, solid(60, 40, Qt::green));
    const QString path = writeFile(QStringLiteral("edited.png"), flattened);
    store.save({captureOf(original, 2), encode(original, "PNG"), state, flattened, path,
                std::nullopt, QDateTime::currentDateTime()});

    EditorWindowController::open(path);
    ASSERT_EQ(editors().size(), 1u);
    EditorWindowController* editor = editors().front();
    const EditorDocument* document = editor->model().document();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->state(), state);
    EXPECT_EQ(document->capture().image.pixelColor(30, 20), QColor(Qt::red));
    EXPECT_EQ(document->capture().scale, 2);
    EXPECT_EQ(document->capture().filePath, path);
    ASSERT_TRUE(editor->model().file());
    EXPECT_EQ(*editor->model().file(),
              (EditorFile{path, app::contentKey(flattened), state, std::nullopt}));
    // The stored marks are where it starts: nothing to lose yet.
    EXPECT_FALSE(editor->hasUnsavedChanges());
    EXPECT_FALSE(editor->window()->isWindowModified());
    EXPECT_TRUE(editor->window()->close());
    flush();
    EXPECT_TRUE(editors().empty());

    // Changed by another program since: a plain image with its own pixels.
    const QByteArray changed = pngAt(72, solid(60, 40, Qt::green));
    testsupport::writeAll(path, changed);
    EditorWindowController::open(path);
    ASSERT_EQ(editors().size(), 1u);
    document = editors().front()->model().document();
    EXPECT_EQ(document->state(), annotation::EditorState{});
    EXPECT_EQ(document->capture().image.pixelColor(30, 20), QColor(Qt::green));
    EXPECT_EQ(editors().front()->model().file()->originalData, changed);
}

TEST_F(EditorWindows, AnOpenedFilesScaleComesFromItsResolution) {
    QByteArray withoutPhys = pngAt(144);
    const qsizetype phys = withoutPhys.indexOf("pHYs");
    ASSERT_GT(phys, 8);
    withoutPhys.remove(phys - 4, 4 + 4 + 9 + 4);
    const struct {
        const char* name;
        QByteArray bytes;
        double scale;
    } cases[] = {
        {"144 dpi", pngAt(144), 2},
        {"100 dpi rounds down", pngAt(100), 1},
        {"108 dpi is half way, away from zero", pngAt(108.01), 2},
        {"216 dpi", pngAt(216), 3},
        {"no resolution", withoutPhys, 1},
        // A damaged or absurd header must not blow the picture up to
        // nothing: the scale stays within 1…8.
        {"10,000 dpi", pngAt(10000), 8},
        {"largest pHYs", pngAt(std::numeric_limits<int>::max() * 0.0254), 8},
        {"1 dpi", pngAt(1), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeFile(QStringLiteral("dpi.png"), c.bytes);
        const std::optional<EditorContent> content = EditorContent::fromFile(path, store);
        ASSERT_TRUE(content);
        EXPECT_EQ(content->capture.scale, c.scale);
    }
    // The window opened for 10,000 dpi lays the picture out in points.
    EditorWindowController::open(
        writeFile(QStringLiteral("dense.png"), pngAt(10000, solid(80, 40))));
    ASSERT_EQ(editors().size(), 1u);
    EXPECT_EQ(editors().front()->model().document()->imageSize(), annotation::Size(10, 5));
}

// An image of more pixels than the renderer draws, in a small file.
QByteArray pastThePixelCap() {
    QImage huge(12000, 12000, QImage::Format_Mono);
    EXPECT_GT(qint64(huge.width()) * huge.height(), annotation::kMaxRenderPixels);
    huge.fill(0);
    return encode(huge, "PNG");
}

TEST_F(EditorWindows, WhatCannotBeOpenedBeepsAndChangesNothing) {
    const QByteArray png = pngAt(72, [] {
        QImage noise(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                noise.setPixel(x, y, qRgb((x * 37 + y * 11) & 255, (x * y) & 255, (x ^ y) * 4));
            }
        }
        return noise;
    }());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.png")));
    const struct {
        const char* name;
        QString path;
    } cases[] = {
        {"truncated PNG", writeFile(QStringLiteral("cut.png"), png.left(png.size() * 2 / 3))},
        {"text named .png", writeFile(QStringLiteral("notes.png"), "just some words\n")},
        {"HEIC", writeFile(QStringLiteral("photo.heic"), QByteArray("\0\0\0\x18"
                                                                    "ftypheic\0\0\0\0mif1heic",
                                                                    24) +
                                                             QByteArray(200, '\x5a'))},
        {"past the pixel cap", writeFile(QStringLiteral("huge.png"), pastThePixelCap())},
        {"empty file", writeFile(QStringLiteral("empty.png"), {})},
        {"missing file", dir.file(QStringLiteral("missing.png"))},
        {"a folder", dir.file(QStringLiteral("folder.png"))},
    };

    EditorWindowController* shown =
        EditorWindowController::open(EditorContent::forCapture(captureOf(solid(10, 10))));
    EditorWindowController* empty = EditorWindowController::open(std::nullopt);
    const EditorDocument* document = shown->model().document();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(EditorContent::fromFile(c.path, store));

        int beeps = calls.beeps;
        EditorWindowController::open(c.path);
        EXPECT_EQ(calls.beeps, beeps + 1);
        EXPECT_EQ(editors().size(), 2u);
        EXPECT_EQ(empty->model().document(), nullptr);

        beeps = calls.beeps;
        shown->loadFile(c.path);
        EXPECT_EQ(calls.beeps, beeps + 1);
        EXPECT_EQ(shown->model().document(), document);
        EXPECT_FALSE(shown->model().file());
    }
}

TEST_F(EditorWindows, TheOpenPanelsChoiceOpensInTheEmptyEditor) {
    EditorWindowController* empty = EditorWindowController::open(std::nullopt);

    EditorWindowController::chooseImageToAnnotate(); // cancelled
    EXPECT_EQ(empty->model().document(), nullptr);

    panels.image = writeFile(QStringLiteral("chosen.png"), pngAt(144, solid(24, 12)));
    EditorWindowController::chooseImageToAnnotate();
    ASSERT_NE(empty->model().document(), nullptr);
    EXPECT_EQ(empty->model().document()->imageSize(), annotation::Size(12, 6));
    EXPECT_EQ(editors().size(), 1u);
}

TEST_F(EditorWindows, OpenLatestShowsAnOpenEditorElseTheNewestImageElseAnEmptyOne) {
    EditorWindowController::openLatest();
    ASSERT_EQ(editors().size(), 1u);
    EXPECT_EQ(editors().front()->model().document(), nullptr);
    // With an editor open it is brought forward; nothing new opens.
    calls.newest = writeFile(QStringLiteral("newest.png"), pngAt(72, solid(16, 16)));
    EditorWindowController::openLatest();
    EXPECT_EQ(editors().size(), 1u);
    closeAll();

    EditorWindowController::openLatest();
    ASSERT_EQ(editors().size(), 1u);
    ASSERT_NE(editors().front()->model().document(), nullptr);
    EXPECT_EQ(editors().front()->model().file()->path, *calls.newest);
    closeAll();

    // A newest file that does not open gives the empty editor, silently.
    calls.newest = writeFile(QStringLiteral("broken.png"), "no image");
    EditorWindowController::openLatest();
    ASSERT_EQ(editors().size(), 1u);
    EXPECT_EQ(editors().front()->model().document(), nullptr);
    EXPECT_EQ(calls.beeps, 0);
}

} // namespace
