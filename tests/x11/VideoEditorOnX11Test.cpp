// The video editor on the rig's X server, beside with-pulse.sh's sound server
// (its null sink is the output the player plays to): real windows found by
// title, real keys through the main menu, the real clipboard read by xclip,
// the played pictures read back from the screen, real files in the
// recordings and save folders.
#include "videoeditor/VideoEditorWindowController.h"

#include "app/FilePanels.h"
#include "app/MainMenu.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "delivery/SharePicker.h"
#include "support/EventLoop.h"
#include "support/NumberedMovie.h"
#include "support/TempDir.h"
#include "videoeditor/TrimBar.h"
#include "videoeditor/VideoEditorView.h"
#include "videoeditor/VideoEditorWindow.h"
#include "videoeditor/VideoPlayer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using testsupport::pump;
using testsupport::waitFor;
using testsupport::xdotool;
using videoeditor::VideoEditorWindowController;

// Runs a program to its end while our event loop keeps answering the X
// server (xclip asks us for the clipboard); its standard output.
QByteArray runPumping(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted(5000)) << program.toStdString();
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < 20'000) {
        pump(20);
    }
    return process.readAllStandardOutput();
}

// X windows whose title is exactly `title`.
QStringList windowsTitled(const QString& title) {
    const QString found = QString::fromUtf8(
        runPumping(QStringLiteral("xdotool"),
                   {QStringLiteral("search"), QStringLiteral("--all"),
                    QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                    QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')}));
    return found.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class CancellingPanels : public app::FilePanels {
public:
    int savePanels = 0;
    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override {
        ++savePanels;
        done(std::nullopt);
    }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const app::FileError&) override {}
};

class VideoEditorOnX11 : public testing::Test {
protected:
    static void SetUpTestSuite() {
        movies = new testsupport::TempDir;
        movie = new QString(movies->file(QStringLiteral("numbered.mp4")));
        testsupport::NumberedMovie numbered;
        numbered.seconds = 6;
        if (!testsupport::makeNumberedMovie(*movie, numbered)) {
            movie->clear();
        }
        silent = new QString(movies->file(QStringLiteral("silent.mp4")));
        testsupport::NumberedMovie quiet;
        quiet.seconds = 4;
        quiet.size = QSize(320, 180);
        quiet.soundTracks = 0;
        if (!testsupport::makeNumberedMovie(*silent, quiet)) {
            silent->clear();
        }
    }
    static void TearDownTestSuite() {
        delete silent;
        delete movie;
        delete movies;
    }

    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            GTEST_SKIP() << "needs an X server";
        }
        ASSERT_FALSE(movie->isEmpty());
        ASSERT_FALSE(silent->isEmpty());
        saved = VideoEditorWindowController::services();
        VideoEditorWindowController::services().recordingsFolder = [this] {
            return recordingsFolder;
        };
        VideoEditorWindowController::services().preferences = [this]() -> app::Preferences& {
            return preferences;
        };
        QDir().mkpath(saveFolder);
        preferences.setSaveFolderBookmark(saveFolder.toUtf8());
        menu = std::make_unique<app::MainMenu>(app::MainMenuCommands{});
    }

    void TearDown() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            return;
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                box->close();
            }
        }
        for (VideoEditorWindowController* editor : VideoEditorWindowController::openEditors()) {
            editor->window()->close();
        }
        pump(100);
        VideoEditorWindowController::services() = saved;
        EXPECT_EQ(0, VideoEditorWindowController::openCount());
    }

    app::Recording recordingOf(const QString& path) const {
        app::Recording recording;
        recording.url = QUrl::fromLocalFile(path);
        recording.duration = 6;
        recording.date = QDateTime(QDate(2024, 5, 1), QTime(9, 30, 0));
        return recording;
    }

    VideoEditorWindowController* openReady(const app::Recording& recording) {
        VideoEditorWindowController::open(recording);
        VideoEditorWindowController* editor = VideoEditorWindowController::openEditors().back();
        EXPECT_TRUE(waitFor(15'000, [editor] {
            return editor->model().canTrim() && !editor->model().trimmedText().isEmpty() &&
                   editor->window()->isVisible();
        }));
        EXPECT_TRUE(waitFor(5000, [editor] { return editor->window()->isActiveWindow(); }));
        pump(200);
        return editor;
    }

    void trimTo(VideoEditorWindowController* editor, double start, double end) {
        editor->trim();
        videoeditor::TrimBar* bar = editor->view()->trimBar();
        bar->timeline()->setRange(6, start, end);
        bar->findChild<QPushButton*>(QStringLiteral("trimDone"))->click();
    }

    // The key goes to the window the X server has in front, as a person's would.
    void press(VideoEditorWindowController* editor, const QString& keys) {
        xdotool({QStringLiteral("key"), QStringLiteral("--window"),
                 QString::number(editor->window()->winId()), keys});
    }

    QStringList filesIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // The number the played picture shows on the screen: the surface grabbed
    // from the root window, the picture fitted inside it.
    int numberOnScreen(VideoEditorWindowController* editor) {
        QWidget* surface = editor->player()->findChild<QWidget*>(QStringLiteral("videoSurface"));
        if (!surface) {
            return -2;
        }
        const QPoint origin = surface->mapToGlobal(QPoint(0, 0));
        const QSizeF fitted = QSizeF(16, 9).scaled(QSizeF(surface->size()), Qt::KeepAspectRatio);
        const QRect picture(origin + QPoint(int((surface->width() - fitted.width()) / 2),
                                            int((surface->height() - fitted.height()) / 2)),
                            fitted.toSize());
        const QImage grabbed =
            QGuiApplication::primaryScreen()
                ->grabWindow(0, picture.x(), picture.y(), picture.width(), picture.height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        return testsupport::frameNumber(grabbed);
    }

    // How far the player's position moves over a second of playing, and
    // whether its sound went to the output all the while.
    struct Second {
        double moved = 0;
        double wall = 0;
        bool soundThroughout = true;
    };
    static Second playForASecond(videoeditor::VideoPlayer* player) {
        Second second;
        const double from = player->position();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 1000) {
            pump(10);
            second.soundThroughout = second.soundThroughout && player->playsSound();
        }
        second.moved = player->position() - from;
        second.wall = double(timer.elapsed()) / 1000;
        return second;
    }

    static testsupport::TempDir* movies;
    static QString* movie;
    static QString* silent;
    testsupport::TempDir dir;
    const QString recordingsFolder = dir.file(QStringLiteral("Recordings"));
    const QString saveFolder = dir.file(QStringLiteral("Captures"));
    app::Preferences preferences{dir.file(QStringLiteral("config/VexlinCapture.conf"))};
    app::SaveLocation::ScopedServices location{{&preferences, {}}};
    VideoEditorWindowController::Services saved;
    std::unique_ptr<app::MainMenu> menu;
};

testsupport::TempDir* VideoEditorOnX11::movies = nullptr;
QString* VideoEditorOnX11::movie = nullptr;
QString* VideoEditorOnX11::silent = nullptr;

// Runs pactl against with-pulse.sh's server; its standard output.
QByteArray pactl(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    EXPECT_TRUE(process.waitForFinished(5000)) << arguments.join(QLatin1Char(' ')).toStdString();
    return process.readAllStandardOutput();
}

const QString title = QStringLiteral("Vexlin Capture Recording 2024-05-01 at 09.30.00");

TEST_F(VideoEditorOnX11, ARecordingOpensItsTitledWindowEachTimeAndAGifNone) {
    app::Recording gif = recordingOf(*movie);
    gif.format = app::Recording::Format::gif;
    VideoEditorWindowController::open(gif);
    pump(300);
    EXPECT_EQ(QStringList(), windowsTitled(title));

    openReady(recordingOf(*movie));
    EXPECT_EQ(1, windowsTitled(title).size());
    openReady(recordingOf(*movie));
    EXPECT_EQ(2, windowsTitled(title).size());
    VideoEditorWindowController::openEditors().front()->window()->close();
    EXPECT_TRUE(waitFor(5000, [] { return windowsTitled(title).size() == 1; }));

    if (const QByteArray shot = qgetenv("VEXLIN_VIDEOEDITOR_SHOT"); !shot.isEmpty()) {
        // A picture to look at: the editor with its trimming bar open. The
        // five-pixel strip under the control bar, with an upright line near
        // each end, is the window manager's frame: openbox's resize handle
        // and its two grips (the window's _NET_FRAME_EXTENTS bottom).
        VideoEditorWindowController* editor = VideoEditorWindowController::openEditors().back();
        editor->trim();
        editor->view()->trimBar()->timeline()->setRange(6, 1, 4.5);
        pump(500);
        editor->window()->screen()->grabWindow(0).save(QString::fromLocal8Bit(shot));
    }
}

TEST_F(VideoEditorOnX11, PlayingMovesThePositionAndThePicture) {
    VideoEditorWindowController* editor = openReady(recordingOf(*movie));
    videoeditor::VideoPlayer* player = editor->player();
    EXPECT_EQ(0, numberOnScreen(editor)) << "the first picture shows before playing";
    // The null sink renders two seconds at a time while nothing plays to
    // it; the player's stream, open since the movie opened, has it render
    // in short pieces once that much has passed.
    pump(2000);
    player->play();
    // The sound goes to the null sink, whose clock the pictures follow.
    ASSERT_TRUE(waitFor(3000, [&] { return player->position() > 0.2; }));
    EXPECT_TRUE(player->playsSound());
    EXPECT_TRUE(pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")})
                    .contains("media.name = \"Video Editor\""))
        << "the server plays our stream";
    const Second second = playForASecond(player);
    EXPECT_TRUE(second.soundThroughout) << "the output's clock ran all the while";
    EXPECT_NEAR(second.wall, second.moved, 0.2);

    // The output held (its sink suspended) holds the picture: no steady
    // clock runs on beside it.
    pactl({QStringLiteral("suspend-sink"), QStringLiteral("speakers"), QStringLiteral("1")});
    pump(150);
    const double held = player->position();
    pump(500);
    EXPECT_LT(player->position() - held, 0.1);
    EXPECT_TRUE(player->playsSound());
    pactl({QStringLiteral("suspend-sink"), QStringLiteral("speakers"), QStringLiteral("0")});
    EXPECT_TRUE(waitFor(2000, [&] { return player->position() > held + 0.2; }));
    EXPECT_TRUE(player->playsSound());

    // A seek back while playing drops the sound queued for later: the clock
    // starts again at the new place, with the sound from there.
    player->seek(1.0);
    EXPECT_NEAR(1.0, player->position(), 0.05);
    pump(700);
    EXPECT_NEAR(1.7, player->position(), 0.2);
    EXPECT_TRUE(player->playsSound());
    EXPECT_NEAR(player->position() * 30, numberOnScreen(editor), 4);

    player->pause();
    pump(200);
    const double at = player->position();
    // The screen shows the picture of the position it stopped at.
    EXPECT_NEAR(at * 30, numberOnScreen(editor), 2);
    pump(300);
    EXPECT_DOUBLE_EQ(at, player->position()) << "paused";

    // A seek while paused shows that picture.
    player->seek(4.0);
    EXPECT_TRUE(waitFor(3000, [&] { return numberOnScreen(editor) == 120; }));
}

TEST_F(VideoEditorOnX11, WithNothingToHearThePictureKeepsToTheSteadyClock) {
    struct Case {
        const char* name;
        QString* movie;
        bool server;
    };
    for (const Case& c : {Case{"a movie without sound", silent, true},
                          Case{"a movie with sound, no sound server", movie, false}}) {
        SCOPED_TRACE(c.name);
        const QByteArray server = qgetenv("PULSE_SERVER");
        if (!c.server) {
            qputenv("PULSE_SERVER", "unix:/nonexistent/vexlin-no-server");
        }
        VideoEditorWindowController* editor = openReady(recordingOf(*c.movie));
        qputenv("PULSE_SERVER", server);
        videoeditor::VideoPlayer* player = editor->player();
        player->play();
        pump(200);
        const Second second = playForASecond(player);
        EXPECT_NEAR(second.wall, second.moved, 0.2);
        EXPECT_FALSE(player->playsSound());
        EXPECT_FALSE(pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")})
                         .contains("Video Editor"));
        player->pause();
        pump(200);
        EXPECT_NEAR(player->position() * 30, numberOnScreen(editor), 2);
        editor->window()->close();
        pump(100);
    }
}

// At its smallest, as the window manager lets the user make it, the control
// bar shows every text whole and no control over another: after a trim, and
// while a GIF is made. Run at scale 1 and 2.
TEST_F(VideoEditorOnX11, TheBarAtItsSmallestShowsEveryTextWholeAfterATrimAndWhileExporting) {
    VideoEditorWindowController* editor = openReady(recordingOf(*movie));
    QWidget* window = editor->window();
    const auto smallest = [&] {
        xdotool({QStringLiteral("windowsize"), QString::number(window->winId()),
                 QStringLiteral("10"), QStringLiteral("10")});
        waitFor(5000, [&] { return window->width() <= window->minimumSizeHint().width() + 1; });
        pump(300);
    };
    const auto expectWhole = [&](const char* when) {
        SCOPED_TRACE(when);
        QWidget* bar = editor->view()->controlBar();
        std::vector<std::pair<QString, QRect>> boxes;
        for (QWidget* child : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isVisible()) {
                continue;
            }
            QString text;
            int room = child->width();
            if (auto* label = qobject_cast<QLabel*>(child)) {
                text = label->text();
                room = label->contentsRect().width();
            } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
                text = button->text();
                room = child->width() - (button->icon().isNull() ? 0 : button->iconSize().width());
            }
            EXPECT_GE(room, child->fontMetrics().horizontalAdvance(text))
                << "“" << text.toStdString() << "” is cut";
            for (const auto& [other, box] : boxes) {
                EXPECT_FALSE(box.intersects(child->geometry()))
                    << child->objectName().toStdString() << " lies over " << other.toStdString();
            }
            EXPECT_LE(child->geometry().right(), bar->width()) << child->objectName().toStdString();
            boxes.emplace_back(child->objectName(), child->geometry());
        }
        // What the screen shows, for a person to look at.
        if (const QByteArray folder = qgetenv("VEXLIN_PICTURES"); !folder.isEmpty()) {
            const QPoint at = window->mapToGlobal(QPoint(0, 0));
            QGuiApplication::primaryScreen()
                ->grabWindow(0, at.x(), at.y(), window->width(), window->height())
                .save(
                    QString::fromLocal8Bit(folder) +
                    QStringLiteral("/video-bar-%1-scale%2.png")
                        .arg(QString::fromLatin1(when).replace(QLatin1Char(' '), QLatin1Char('-')))
                        .arg(qgetenv("QT_SCALE_FACTOR").isEmpty()
                                 ? QStringLiteral("1")
                                 : QString::fromLocal8Bit(qgetenv("QT_SCALE_FACTOR"))));
        }
    };
    trimTo(editor, 1, 5.5);
    smallest();
    expectWhole("after a trim");
    window->findChild<QToolButton*>(QStringLiteral("formatGif"))->click();
    smallest();
    editor->save();
    ASSERT_TRUE(editor->model().busyMessage());
    // Laid out and painted with the busy text, the GIF still being made.
    pump(30);
    expectWhole("while exporting");
    EXPECT_TRUE(waitFor(60'000, [editor] { return !editor->isBusy(); }));
}

TEST_F(VideoEditorOnX11, TwoSavesBackToBackMakeOneExport) {
    VideoEditorWindowController* editor = openReady(recordingOf(*movie));
    trimTo(editor, 1, 3);
    press(editor, QStringLiteral("ctrl+s"));
    press(editor, QStringLiteral("ctrl+s"));
    EXPECT_TRUE(waitFor(2000, [editor] { return editor->isBusy(); }));
    ASSERT_TRUE(waitFor(60'000, [editor] { return !editor->isBusy(); }));
    pump(300);
    EXPECT_EQ(1, filesIn(recordingsFolder).size());
    EXPECT_EQ(QStringList{title + QStringLiteral(".mp4")}, filesIn(saveFolder));
}

TEST_F(VideoEditorOnX11, CopyPutsTheFileOnTheClipboardAndCloses) {
    preferences.setCloseEditorAfterExport(true);
    VideoEditorWindowController* editor = openReady(recordingOf(*movie));
    trimTo(editor, 2, 4);
    press(editor, QStringLiteral("ctrl+c"));
    ASSERT_TRUE(waitFor(60'000, [] { return VideoEditorWindowController::openCount() == 0; }));
    EXPECT_TRUE(waitFor(5000, [] { return windowsTitled(title).isEmpty(); }));
    const QStringList files = filesIn(recordingsFolder);
    ASSERT_EQ(1, files.size());
    const QByteArray uris =
        runPumping(QStringLiteral("xclip"),
                   {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                    QStringLiteral("text/uri-list"), QStringLiteral("-o")});
    EXPECT_EQ(QUrl::fromLocalFile(QDir(recordingsFolder).filePath(files.first())).toEncoded(),
              uris.trimmed());
}

TEST_F(VideoEditorOnX11, ACancelledSaveAsAndAShareLeaveItOpen) {
    preferences.setCloseEditorAfterExport(true);
    CancellingPanels panels;
    app::ScopedFilePanels usePanels{panels};
    VideoEditorWindowController* editor = openReady(recordingOf(*movie));
    press(editor, QStringLiteral("shift+ctrl+s"));
    ASSERT_TRUE(waitFor(5000, [&] { return panels.savePanels == 1; }));
    pump(300);
    EXPECT_EQ(1, windowsTitled(title).size());

    editor->window()->findChild<QToolButton*>(QStringLiteral("shareButton"))->click();
    ASSERT_TRUE(waitFor(5000, [] {
        return delivery::SharePicker::current() && delivery::SharePicker::current()->isVisible();
    }));
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_TRUE(waitFor(5000, [] {
        return !delivery::SharePicker::current() || !delivery::SharePicker::current()->isVisible();
    }));
    pump(300);
    EXPECT_EQ(1, windowsTitled(title).size());
    EXPECT_EQ(1, VideoEditorWindowController::openCount());
}

TEST_F(VideoEditorOnX11, SavingATrimOfATruncatedFileAlertsAndLeavesNoFile) {
    const QString truncated = dir.file(QStringLiteral("truncated.mp4"));
    const QByteArray bytes = testsupport::readAll(*movie);
    testsupport::writeAll(truncated, bytes.left(bytes.size() / 2));
    VideoEditorWindowController* editor = openReady(recordingOf(truncated));
    trimTo(editor, 0.5, 5.5);
    press(editor, QStringLiteral("ctrl+s"));
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(waitFor(60'000, [&] {
        alert = editor->window()->findChild<QMessageBox*>();
        return alert && alert->isVisible();
    }));
    EXPECT_TRUE(alert->text().startsWith(QLatin1String("The video could not be exported.")));
    EXPECT_EQ(Qt::WindowModal, alert->windowModality());
    EXPECT_EQ(QStringList(), filesIn(recordingsFolder));
    EXPECT_EQ(QStringList(), filesIn(saveFolder));
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(waitFor(5000, [editor] { return !editor->window()->findChild<QMessageBox*>(); }));
    EXPECT_FALSE(editor->isBusy());
    EXPECT_EQ(1, windowsTitled(title).size());
}

} // namespace
