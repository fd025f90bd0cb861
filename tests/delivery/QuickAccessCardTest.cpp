// A Quick Access card's life on a clock the test moves: its timer, hover,
// confirmation and Save As, and what its actions leave on disk, on the
// clipboard and in alerts.
#include "QuickAccessFixture.h"

#include "app/Workspace.h"
#include "delivery/QuickAccessCardView.h"
#include "delivery/QuickAccessCardWindow.h"

#include "support/ScratchMount.h"

#include <QClipboard>
#include <QDirIterator>
#include <QMimeData>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

using namespace quickaccesstest;
using delivery::QuickAccessCard;
using delivery::QuickAccessCardView;

namespace {

using CardTimer = QuickAccessTest;

TEST_F(CardTimer, RestingPointerHoldsTheCardAndLeavingStartsAFullInterval) {
    QPointer<QuickAccessCard> card = show(capture());
    at(4);
    card->setPointerInside(true);
    at(13.999);
    EXPECT_TRUE(stacked(card));
    at(14);
    card->setPointerInside(false);
    at(18.999);
    EXPECT_TRUE(stacked(card));
    at(19);
    EXPECT_FALSE(stacked(card));
}

TEST_F(CardTimer, UntouchedCardGoesAfterTheSetTime) {
    preferences.setQuickAccessCloseAfter(3);
    QPointer<QuickAccessCard> card = show(capture());
    at(2.999);
    EXPECT_TRUE(stacked(card));
    at(3);
    EXPECT_FALSE(stacked(card));
}

TEST_F(CardTimer, WithAutoCloseOffTheCardStaysWhateverThePointerDoes) {
    preferences.setQuickAccessAutoClose(false);
    QPointer<QuickAccessCard> card = show(capture());
    at(30);
    card->setPointerInside(true);
    at(40);
    card->setPointerInside(false);
    at(1000);
    EXPECT_TRUE(stacked(card));
    EXPECT_FALSE(card->autoCloseRunning());
}

TEST_F(CardTimer, CancelledSaveAsGivesAFullIntervalAndHoverMeanwhileStartsNothing) {
    panels.holdSavePanel = true;
    QPointer<QuickAccessCard> card = show(capture());
    at(3);
    card->actions().saveAs();
    ASSERT_EQ(1, panels.saveRequests);
    EXPECT_FALSE(card->autoCloseRunning());
    // In and out while the panel is open: no timer of its own.
    card->setPointerInside(true);
    card->setPointerInside(false);
    EXPECT_FALSE(card->autoCloseRunning());
    at(20);
    EXPECT_TRUE(stacked(card));
    panels.answerHeldPanel(std::nullopt);
    at(24.999);
    EXPECT_TRUE(stacked(card));
    at(25);
    EXPECT_FALSE(stacked(card));
    EXPECT_TRUE(panels.alerts.empty());
}

TEST_F(CardTimer, SaveAsThatWritesAFileDismissesAtOnce) {
    panels.saveAnswer = dir.file("chosen.png");
    QPointer<QuickAccessCard> card = show(capture());
    at(1);
    card->actions().saveAs();
    EXPECT_FALSE(stacked(card));
    EXPECT_TRUE(QFileInfo::exists(dir.file("chosen.png")));
}

TEST_F(CardTimer, CopiedLeavesAfterSevenTenthsEvenWhileHovered) {
    QPointer<QuickAccessCard> card = show(capture(filled(30, 20)));
    card->setPointerInside(true);
    at(1);
    card->actions().copy();
    EXPECT_EQ(QStringLiteral("Copied"), card->model().note().value_or(QString()));
    EXPECT_TRUE(card->view()->visibleButtons().isEmpty());
    at(1.699);
    EXPECT_TRUE(stacked(card));
    at(1.7);
    EXPECT_FALSE(stacked(card));
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(nullptr, copied);
    EXPECT_TRUE(copied->hasFormat(QStringLiteral("image/png")));
    QImage pasted;
    ASSERT_TRUE(pasted.loadFromData(copied->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(QSize(30, 20), pasted.size());
}

TEST_F(CardTimer, DismissingTwiceChangesNothingTheSecondTime) {
    QPointer<QuickAccessCard> older = show(capture());
    QPointer<QuickAccessCard> newer = show(capture());
    const QPoint newerPlace = newer->window()->pos();
    newer->actions().close();
    ASSERT_EQ(1, manager.cards().size());
    const QPoint olderPlace = older->window()->pos();
    // The timer of the closed card fires later: nothing more happens.
    manager.dismiss(newer, true);
    at(4.9);
    EXPECT_EQ(QList<QuickAccessCard*>{older.data()}, manager.cards());
    EXPECT_EQ(olderPlace, older->window()->pos());
    EXPECT_EQ(newerPlace, olderPlace);
}

// --- actions ---

using CardActions = QuickAccessTest;

QStringList dragFolders(const QString& temp) {
    return QDir(temp).entryList({QStringLiteral("Drag-*")}, QDir::Dirs);
}

TEST_F(CardActions, TwoDragsAndAShareWriteOnePng) {
    QuickAccessCard* card = show(capture());
    const auto first = card->actions().dragItem();
    const auto second = card->actions().dragItem();
    card->actions().share(card->view()->shareAnchor());

    const QStringList folders = dragFolders(dir.file("tmp"));
    ASSERT_EQ(1, folders.size());
    const QString file =
        dir.file("tmp/" + folders[0] + "/Vexlin Capture 2026-03-04 at 09.15.02.png");
    EXPECT_EQ(QStringList{QFileInfo(file).fileName()},
              QDir(dir.file("tmp/" + folders[0])).entryList(QDir::Files));
    ASSERT_EQ(1, first->urls().size());
    EXPECT_EQ(file, first->urls()[0].toLocalFile());
    EXPECT_EQ(first->urls(), second->urls());
    EXPECT_EQ(QByteArray("Vexlin Capture 2026-03-04 at 09.15.02"),
              first->data("application/x-kde-suggestedfilename"));
    ASSERT_EQ(1u, sharedFiles.size());
    EXPECT_EQ(file, sharedFiles[0]);
    EXPECT_EQ(card->view()->shareAnchor(), shareAnchors[0]);
    QImage written(file);
    EXPECT_EQ(QSize(600, 400), written.size());
}

TEST_F(CardActions, SaveWritesIntoTheSaveFolderAndConfirms) {
    preferences.setImageFormat(app::ImageFormat::jpeg);
    QPointer<QuickAccessCard> card = show(capture());
    card->actions().save();
    EXPECT_EQ(QStringList{"Vexlin Capture 2026-03-04 at 09.15.02.jpg"},
              QDir(saveFolder()).entryList(QDir::Files));
    EXPECT_EQ(QStringLiteral("Saved"), card->model().note().value_or(QString()));
    at(0.7);
    EXPECT_FALSE(stacked(card));
}

TEST_F(CardActions, SaveIntoAReadOnlyFolderAlertsAndKeepsTheCard) {
    std::optional<testsupport::ScratchMount> mount =
        testsupport::ScratchMount::make(dir.file("disk"), 256);
    QString folder;
    if (mount && mount->makeReadOnly()) {
        folder = mount->path();
    } else if (::geteuid() != 0) {
        folder = dir.file("locked");
        QDir().mkpath(folder);
        ASSERT_EQ(0, ::chmod(QFile::encodeName(folder).constData(), 0555));
    } else {
        GTEST_SKIP() << "as root without a mount nothing is read-only";
    }
    preferences.setSaveFolderBookmark(folder.toUtf8());
    QPointer<QuickAccessCard> card = show(capture());
    at(2);
    card->actions().save();

    ASSERT_EQ(1u, panels.alerts.size());
    EXPECT_EQ(app::FileError::Code::writeFailed, panels.alerts[0].code());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(card->model().note());
    // The card keeps its timer as it was.
    at(4.999);
    EXPECT_TRUE(stacked(card));
    at(5);
    EXPECT_FALSE(stacked(card));
    if (!mount) {
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    }
}

TEST_F(CardActions, CancelledFolderChooserIsSilent) {
    preferences.setSaveFolderBookmark(std::nullopt);
    QPointer<QuickAccessCard> card = show(capture());
    card->actions().save();
    EXPECT_EQ(1, panels.folderRequests);
    EXPECT_TRUE(panels.alerts.empty());
    EXPECT_FALSE(card->model().note());
    EXPECT_TRUE(stacked(card));
}

TEST_F(CardActions, EditAndPinDismissFirstThenHandTheCaptureOn) {
    std::vector<std::pair<QString, int>> calls; // callback, cards left when it ran
    manager.onEdit = [&](const app::Capture& c) {
        calls.push_back({"edit " + c.id.toString(), int(manager.cards().size())});
    };
    manager.onPin = [&](const app::Capture& c) {
        calls.push_back({"pin " + c.id.toString(), int(manager.cards().size())});
    };
    const app::Capture first = capture();
    const app::Capture second = capture();
    show(first)->actions().edit->action();
    show(second)->actions().secondary.action();
    EXPECT_EQ((std::vector<std::pair<QString, int>>{{"edit " + first.id.toString(), 0},
                                                    {"pin " + second.id.toString(), 0}}),
              calls);
}

TEST_F(CardActions, ActionsOfAGoneCardThatNeedItDoNothing) {
    int edits = 0;
    manager.onEdit = [&](const app::Capture&) { ++edits; };
    QuickAccessCard* card = show(capture());
    const delivery::QuickAccessActions actions = card->actions();
    manager.dismiss(card, false);
    delete card;
    actions.edit->action();
    actions.close();
    actions.share(nullptr);
    EXPECT_EQ(0, edits);
    EXPECT_TRUE(sharedFiles.empty());
    EXPECT_TRUE(actions.dragItem()->formats().isEmpty());
    // The copy still works from the captured picture.
    actions.copy();
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("image/png"));
}

TEST_F(CardActions, TinyAndVeryWideCapturesMakeCards) {
    struct Case {
        QSize pixels;
        QSize window;
    };
    for (const Case& c : {Case{{1, 1}, {220, 144}}, Case{{12000, 300}, {256, 144}}}) {
        QuickAccessCard* card = show(capture(filled(c.pixels.width(), c.pixels.height())));
        EXPECT_EQ(c.window, card->window()->size()) << c.pixels.width();
        EXPECT_TRUE(card->window()->isVisible());
        const QImage shown = card->view()->grab().toImage();
        EXPECT_EQ(c.window, shown.size());
        // The picture's colour at the tile's centre.
        EXPECT_EQ(QColor(200, 40, 40),
                  shown.pixelColor(c.window.width() / 2, c.window.height() / 2));
    }
}

// --- recording cards ---

using RecordingCard = QuickAccessTest;

TEST_F(RecordingCard, VideoAndGifDifferInEditButtonAndBadge) {
    QuickAccessCard* video = show(recording(app::Recording::Format::video, 65.4));
    ASSERT_TRUE(video->actions().edit);
    EXPECT_EQ(QStringLiteral("Edit Video"), video->actions().edit->help);
    EXPECT_EQ(QStringLiteral("scissors"), video->actions().edit->symbol);
    EXPECT_EQ(QStringLiteral("1:05"), video->view()->badgeText());
    EXPECT_TRUE(video->view()->badgeShown());

    QuickAccessCard* gif = show(recording(app::Recording::Format::gif));
    EXPECT_FALSE(gif->actions().edit);
    EXPECT_EQ(QStringLiteral("GIF"), gif->view()->badgeText());
    EXPECT_EQ(QStringLiteral("Play"), gif->actions().secondary.help);
    gif->setPointerInside(true);
    EXPECT_FALSE(gif->view()->badgeShown());
    for (const auto& button : gif->view()->visibleButtons()) {
        EXPECT_NE(QuickAccessCardView::Button::edit, button.button);
    }
}

TEST_F(RecordingCard, EditVideoDismissesThenOpensTheRecording) {
    std::vector<QUuid> opened;
    manager.onEditRecording = [&](const app::Recording& r) { opened.push_back(r.id); };
    const app::Recording video = recording(app::Recording::Format::video);
    QPointer<QuickAccessCard> card = show(video);
    card->actions().edit->action();
    EXPECT_FALSE(stacked(card));
    EXPECT_EQ(std::vector<QUuid>{video.id}, opened);
}

TEST_F(RecordingCard, MissingThumbnailGivesAnEmptyTile) {
    app::Recording r = recording(app::Recording::Format::video);
    r.thumbnail = QImage();
    QuickAccessCard* card = show(r);
    EXPECT_EQ(QSize(220 + 36, 140 + 36), card->window()->size());
}

TEST_F(RecordingCard, SaveAndSaveAsCopyTheRecordingUnderItsName) {
    QPointer<QuickAccessCard> card = show(recording(app::Recording::Format::video));
    card->actions().save();
    const QString saved =
        saveFolder() + QStringLiteral("/Vexlin Capture Recording 2026-03-04 at 09.15.02.mp4");
    EXPECT_EQ(QByteArray("movie bytes"), testsupport::readAll(saved));
    EXPECT_EQ(QStringLiteral("Saved"), card->model().note().value_or(QString()));

    // A cancelled Save As gives the card a new interval; a done one closes it.
    card->actions().saveAs();
    EXPECT_TRUE(card->autoCloseRunning());
    EXPECT_TRUE(stacked(card));
    panels.saveAnswer = dir.file(QStringLiteral("elsewhere.mp4"));
    card->actions().saveAs();
    EXPECT_EQ(QByteArray("movie bytes"), testsupport::readAll(*panels.saveAnswer));
    EXPECT_TRUE(panels.alerts.empty());
    EXPECT_FALSE(stacked(card));
}

TEST_F(RecordingCard, CopyShareDragAndPlayUseTheRecordingsFile) {
    std::vector<QUrl> opened;
    app::Workspace::ScopedServices workspace({[&](const QUrl& url) {
                                                  opened.push_back(url);
                                                  return true;
                                              },
                                              {}});
    const app::Recording video = recording(app::Recording::Format::video);
    QPointer<QuickAccessCard> card = show(video);

    card->actions().secondary.action();
    EXPECT_EQ(std::vector<QUrl>{video.url}, opened);
    EXPECT_TRUE(stacked(card));
    EXPECT_TRUE(card->autoCloseRunning());

    card->actions().share(card->view()->shareAnchor());
    ASSERT_EQ(1u, sharedFiles.size());
    // A link under the recording's name, to the same data.
    EXPECT_EQ(QStringLiteral("Vexlin Capture Recording 2026-03-04 at 09.15.02.mp4"),
              QFileInfo(sharedFiles[0]).fileName());
    struct stat shared {};
    struct stat original {};
    ASSERT_EQ(0, ::stat(QFile::encodeName(sharedFiles[0]).constData(), &shared));
    ASSERT_EQ(0, ::stat(QFile::encodeName(video.url.toLocalFile()).constData(), &original));
    EXPECT_EQ(original.st_ino, shared.st_ino);

    const auto dragged = card->actions().dragItem();
    EXPECT_EQ(QList<QUrl>{video.url}, dragged->urls());
    EXPECT_EQ(QByteArray("Vexlin Capture Recording 2026-03-04 at 09.15.02"),
              dragged->data("application/x-kde-suggestedfilename"));

    card->actions().copy();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(nullptr, copied);
    EXPECT_EQ(QList<QUrl>{video.url}, copied->urls());
    EXPECT_EQ(QStringLiteral("Copied"), card->model().note().value_or(QString()));
}

} // namespace
